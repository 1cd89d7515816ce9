#include "platform/rowset/tool/rowset_json.h"

#include <nlohmann/json.hpp>

#include "platform/rowset/value_text.h"

namespace kx::rowset {

namespace {

nlohmann::json jsonOfValue(DataType type, const Variant& value) {
    if (value.isNull() || value.isEmpty()) {
        return nullptr;
    }
    const auto& storage = value.storage();
    switch (valueKindOf(type)) {
        case ValueKind::Boolean:
            return value.asBool();
        case ValueKind::Int16:
            return std::get<std::int16_t>(storage);
        case ValueKind::UInt8:
            return std::get<std::uint8_t>(storage);
        case ValueKind::Int32:
            return std::get<std::int32_t>(storage);
        case ValueKind::Int64:
            return std::get<std::int64_t>(storage);
        case ValueKind::Single:
        case ValueKind::Double:
        case ValueKind::Currency:
            return value.numberValue();
        case ValueKind::Text:
            return value.asString();
        case ValueKind::Date:
        case ValueKind::Bytes:
            return formatXdrValue(type, value).value_or(std::string());
    }
    return nullptr;
}

}  // namespace

std::string rowsetToJson(Recordset& rs) {
    nlohmann::json fields = nlohmann::json::array();
    for (const FieldInfo& field : rs.fieldInfos()) {
        fields.push_back({{"name", field.name}, {"type", std::string(dataTypeName(field.type))}});
    }
    nlohmann::json rows = nlohmann::json::array();
    if (rs.RecordCount() > 0) {
        for (rs.MoveFirst(); !rs.isEOF(); rs.MoveNext()) {
            nlohmann::json row = nlohmann::json::object();
            for (std::size_t i = 0; i < rs.fieldCount(); ++i) {
                Field field = rs.Fields(i);
                row[field.Name()] = jsonOfValue(field.Type(), field.Value());
            }
            rows.push_back(std::move(row));
        }
    }
    const nlohmann::json document = {{"fields", std::move(fields)}, {"rows", std::move(rows)}};
    return document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace kx::rowset

#include "server/support/store/report_fields.h"

#include <unordered_map>

#include <nlohmann/json.hpp>

namespace kx::server::support {

std::string storedFieldsText(const ReportFields& fields) {
    nlohmann::json list = nlohmann::json::array();
    for (const auto& [name, value] : fields) {
        list.push_back({name, value});
    }
    return list.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

ReportFields storedFields(std::string_view text) {
    ReportFields fields;
    const auto list = nlohmann::json::parse(text, nullptr, false);
    if (!list.is_array()) {
        return fields;
    }
    for (const auto& pair : list) {
        if (pair.is_array() && pair.size() == 2 && pair[0].is_string() && pair[1].is_string()) {
            fields.emplace_back(pair[0].get<std::string>(), pair[1].get<std::string>());
        }
    }
    return fields;
}

std::string fieldValue(const ReportFields& fields, std::string_view name) {
    std::string value;
    bool found = false;
    for (const auto& [fieldName, fieldText] : fields) {
        if (fieldName == name) {
            value += found ? "\n" : "";
            value += fieldText;
            found = true;
        }
    }
    return value;
}

ReportFields mergedFields(const ReportFields& fields) {
    ReportFields merged;
    std::unordered_map<std::string_view, std::size_t> index;
    for (const auto& [name, value] : fields) {
        const auto [at, fresh] = index.try_emplace(name, merged.size());
        if (fresh) {
            merged.emplace_back(name, value);
        } else {
            merged[at->second].second += "\n" + value;
        }
    }
    return merged;
}

std::string_view utf8Prefix(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) {
        return text;
    }
    std::size_t end = maxBytes;
    // Continuation bytes (10xxxxxx) belong to the character that starts before them.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        --end;
    }
    return text.substr(0, end);
}

}  // namespace kx::server::support

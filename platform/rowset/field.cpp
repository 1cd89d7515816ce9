// Field access and the editing of rows (AddNew, assignments, Update).

#include "platform/rowset/ado_errors.h"
#include "platform/rowset/recordset.h"
#include "platform/rowset/text_fold.h"
#include "platform/rowset/value_text.h"

namespace kx::rowset {

namespace {

// Converts an assigned value to the column's storage, enforcing its nullability, type, range
// and defined size.
Variant valueForColumn(const FieldInfo& field, const Variant& value) {
    if (value.isNull()) {
        if (!field.nullable) {
            raiseAdoError(adoerr::kMultipleStep,
                          "The column '" + field.name + "' does not accept Null.");
        }
        return value;
    }
    auto converted = convertValue(field.type, value);
    if (!converted) {
        const bool convertible =
            value.isString() || value.isNumeric() || value.type() == VarType::Date;
        raiseAdoError(convertible ? adoerr::kMultipleStep : adoerr::kWrongValueType,
                      "The value cannot be stored in column '" + field.name + "' of type " +
                          std::string(dataTypeName(field.type)) + ".");
    }
    const bool isBinary = valueKindOf(field.type) == ValueKind::Bytes;
    if (field.definedSize > 0 && (isStringType(field.type) || isBinary)) {
        const std::string& text = converted->asString();
        const std::size_t length = isBinary ? text.size() : characterCount(text);
        if (length > static_cast<std::size_t>(field.definedSize)) {
            raiseAdoError(adoerr::kMultipleStep, "The value for column '" + field.name + "' is " +
                                                     std::to_string(length) +
                                                     " characters long; the column holds at most " +
                                                     std::to_string(field.definedSize) + ".");
        }
    }
    return std::move(*converted);
}

}  // namespace

const FieldInfo& Field::info() const {
    return owner_->data_.fields.at(index_);
}
const std::string& Field::Name() const {
    return info().name;
}
DataType Field::Type() const {
    return info().type;
}
std::int64_t Field::DefinedSize() const {
    return info().definedSize;
}

std::int32_t Field::Attributes() const {
    const FieldInfo& field = info();
    std::int32_t attributes = 0;
    if (field.nullable) {
        attributes |= adFldIsNullable | adFldMayBeNull;
    }
    if (field.fixedLength) {
        attributes |= adFldFixed;
    }
    if (field.isLong) {
        attributes |= adFldLong;
    }
    return attributes;
}

const Variant& Field::Value() const {
    return owner_->valuesForReading()[index_];
}

void Field::setValue(const Variant& value) {
    Variant stored = valueForColumn(info(), value);
    owner_->currentValues()[index_] = std::move(stored);
}

Field Recordset::Fields(std::string_view name) {
    auto index = data_.fieldIndex(name);
    if (!index) {
        raiseAdoError(adoerr::kItemNotFound,
                      "(There is no column named '" + std::string(name) + "'.)");
    }
    return Field(*this, *index);
}

Field Recordset::Fields(std::size_t index) {
    if (index >= data_.fields.size()) {
        raiseAdoError(adoerr::kItemNotFound,
                      "(There is no column number " + std::to_string(index) + ".)");
    }
    return Field(*this, index);
}

const std::vector<Variant>& Recordset::valuesForReading() const {
    requireOpen();
    if (edit_ != EditMode::adEditNone) {
        return editBuffer_;
    }
    requireCurrentRow();
    return data_.rows[visible_[static_cast<std::size_t>(position_)]].values;
}

std::vector<Variant>& Recordset::currentValues() {
    requireOpen();
    if (edit_ == EditMode::adEditNone) {
        requireCurrentRow();
        editBuffer_ = data_.rows[visible_[static_cast<std::size_t>(position_)]].values;
        edit_ = EditMode::adEditInProgress;
    }
    return editBuffer_;
}

void Recordset::AddNew() {
    requireOpen();
    commitEdit();
    editBuffer_.assign(data_.fields.size(), Variant::null());
    edit_ = EditMode::adEditAdd;
}

void Recordset::Update() {
    requireOpen();
    if (edit_ == EditMode::adEditNone) {
        return;  // nothing pending, as the old library tolerates
    }
    commitEdit();
}

void Recordset::CancelUpdate() {
    requireOpen();
    edit_ = EditMode::adEditNone;
    editBuffer_.clear();
}

void Recordset::commitEdit() {
    if (edit_ == EditMode::adEditAdd) {
        data_.rows.push_back({std::move(editBuffer_), RowStatus::Unchanged, {}});
        visible_.push_back(data_.rows.size() - 1);
        position_ = visibleCount() - 1;
    } else if (edit_ == EditMode::adEditInProgress) {
        data_.rows[visible_[static_cast<std::size_t>(position_)]].values = std::move(editBuffer_);
    }
    edit_ = EditMode::adEditNone;
    editBuffer_.clear();
}

}  // namespace kx::rowset

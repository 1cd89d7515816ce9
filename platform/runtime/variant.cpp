#include "platform/runtime/variant.h"

#include <limits>

#include "platform/runtime/run_time_error.h"

namespace kx {

Variant::Variant(SafeArray array) : value_(std::make_shared<SafeArray>(std::move(array))) {}

VarType Variant::type() const {
    // The order of the alternatives in Storage follows VarType.
    return static_cast<VarType>(value_.index());
}

bool Variant::isNumeric() const {
    switch (type()) {
        case VarType::Boolean:
        case VarType::Byte:
        case VarType::Integer:
        case VarType::Long:
        case VarType::LongLong:
        case VarType::Single:
        case VarType::Double:
        case VarType::Currency:
            return true;
        default:
            return false;
    }
}

namespace {
template <typename T>
const T& expect(const Variant::Storage& storage) {
    if (const T* p = std::get_if<T>(&storage)) {
        return *p;
    }
    raiseError(vberr::kTypeMismatch);
}
}  // namespace

bool Variant::asBool() const {
    return expect<bool>(value_);
}
const std::string& Variant::asString() const {
    return expect<std::string>(value_);
}
const ObjectRef& Variant::asObject() const {
    return expect<ObjectRef>(value_);
}
const DataObjectRef& Variant::asDataObject() const {
    return expect<DataObjectRef>(value_);
}
const RecordValue& Variant::asRecord() const {
    return expect<RecordValue>(value_);
}
Currency Variant::asCurrency() const {
    return expect<Currency>(value_);
}
OleDate Variant::asDate() const {
    return expect<OleDate>(value_);
}

const SafeArray& Variant::asArray() const {
    return *expect<std::shared_ptr<SafeArray>>(value_);
}

SafeArray& Variant::asArray() {
    return *expect<std::shared_ptr<SafeArray>>(value_);
}

double Variant::numberValue() const {
    switch (type()) {
        case VarType::Boolean:
            return std::get<bool>(value_) ? -1.0 : 0.0;
        case VarType::Byte:
            return std::get<std::uint8_t>(value_);
        case VarType::Integer:
            return std::get<std::int16_t>(value_);
        case VarType::Long:
            return std::get<std::int32_t>(value_);
        case VarType::LongLong:
            return static_cast<double>(std::get<std::int64_t>(value_));
        case VarType::Single:
            return static_cast<double>(std::get<float>(value_));
        case VarType::Double:
            return std::get<double>(value_);
        case VarType::Currency:
            return static_cast<double>(std::get<Currency>(value_).scaled) / 10000.0;
        case VarType::Date:
            return std::get<OleDate>(value_).serial;
        default:
            raiseError(vberr::kTypeMismatch);
    }
}

SafeArray::SafeArray(std::vector<ArrayBound> bounds, Variant fill) : bounds_(std::move(bounds)) {
    std::size_t total = bounds_.empty() ? 0 : 1;
    for (const ArrayBound& b : bounds_) {
        if (b.count < 0) {
            raiseError(vberr::kSubscriptOutOfRange);
        }
        const auto count = static_cast<std::size_t>(b.count);
        if (count != 0 && total > std::numeric_limits<std::size_t>::max() / count) {
            raiseError(7);  // out of memory
        }
        total *= count;
    }
    elements_.assign(total, fill);
}

std::int32_t SafeArray::lowerBound(int dimension) const {
    if (dimension < 1 || dimension > dimensions()) {
        raiseError(vberr::kSubscriptOutOfRange);
    }
    return bounds_[static_cast<std::size_t>(dimension - 1)].lower;
}

std::int32_t SafeArray::upperBound(int dimension) const {
    if (dimension < 1 || dimension > dimensions()) {
        raiseError(vberr::kSubscriptOutOfRange);
    }
    return bounds_[static_cast<std::size_t>(dimension - 1)].upper();
}

std::size_t SafeArray::offsetOf(const std::vector<std::int32_t>& indexes) const {
    if (indexes.size() != bounds_.size() || bounds_.empty()) {
        raiseError(vberr::kSubscriptOutOfRange);
    }
    std::size_t offset = 0;
    std::size_t stride = 1;
    for (std::size_t d = 0; d < bounds_.size(); ++d) {
        const ArrayBound& b = bounds_[d];
        const std::int64_t relative = static_cast<std::int64_t>(indexes[d]) - b.lower;
        if (relative < 0 || relative >= b.count) {
            raiseError(vberr::kSubscriptOutOfRange);
        }
        offset += static_cast<std::size_t>(relative) * stride;
        stride *= static_cast<std::size_t>(b.count);
    }
    return offset;
}

const Variant& SafeArray::at(const std::vector<std::int32_t>& indexes) const {
    return elements_[offsetOf(indexes)];
}

Variant& SafeArray::at(const std::vector<std::int32_t>& indexes) {
    return elements_[offsetOf(indexes)];
}

SafeArray SafeArray::fromBytes(const std::string& bytes, std::int32_t lower) {
    std::vector<Variant> values;
    values.reserve(bytes.size());
    for (char c : bytes) {
        values.emplace_back(static_cast<std::uint8_t>(c));
    }
    return fromVector(std::move(values), lower);
}

SafeArray SafeArray::fromVector(std::vector<Variant> values, std::int32_t lower) {
    SafeArray array;
    array.bounds_.push_back({lower, static_cast<std::int32_t>(values.size())});
    array.elements_ = std::move(values);
    return array;
}

}  // namespace kx

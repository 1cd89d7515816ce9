#pragma once
// The value model of the old runtime: one Variant type that holds every kind of value the
// launcher, the error library and the row sets pass around, including the kinds that only the
// crash dump ever looks at (missing arguments, record placeholders, never-sized arrays).

#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace kx {

class Dispatch;  // an object reachable by member name (dispatch.h)
class SafeArray;

// The runtime's type tags, in the order of the old VarType numbering where one exists.
enum class VarType : std::uint8_t {
    Empty,    // never assigned
    Null,     // no valid data
    Missing,  // the error value an omitted optional argument carries
    Boolean,
    Byte,      // unsigned 8-bit
    Integer,   // signed 16-bit
    Long,      // signed 32-bit
    LongLong,  // signed 64-bit
    Single,
    Double,
    Currency,    // fixed point, four decimals
    Date,        // OLE automation date
    String,      // may hold NUL characters
    Object,      // possibly Nothing, possibly a collection
    DataObject,  // a data-access object reference (possibly Nothing)
    Record,      // a user-defined record: only its type name is kept
    Array,
};

// Fixed-point money value: the amount times 10,000, as the old runtime stores it.
struct Currency {
    std::int64_t scaled = 0;
    friend bool operator==(Currency, Currency) = default;
};

// A date and time as the old runtime stores it: days since 30 December 1899, the fraction being
// the time of day. Negative values lie before that day (the fraction still counts forward).
struct OleDate {
    double serial = 0.0;
    friend bool operator==(OleDate, OleDate) = default;
};

// A user-defined record whose contents are not rendered; the dump shows its type name.
struct RecordValue {
    std::string typeName;
    friend bool operator==(const RecordValue&, const RecordValue&) = default;
};

// An object reference; a null pointer is Nothing.
struct ObjectRef {
    std::shared_ptr<Dispatch> object;
    bool isNothing() const { return object == nullptr; }
};

// A data-access object reference (VarType DataObject); a null pointer is Nothing.
struct DataObjectRef {
    std::shared_ptr<Dispatch> object;
    bool isNothing() const { return object == nullptr; }
};

struct MissingArgument {};
struct NullValue {};

class Variant {
  public:
    Variant() = default;
    Variant(bool b) : value_(b) {}
    Variant(std::uint8_t v) : value_(v) {}
    Variant(std::int16_t v) : value_(v) {}
    Variant(std::int32_t v) : value_(v) {}
    Variant(std::int64_t v) : value_(v) {}
    Variant(float v) : value_(v) {}
    Variant(double v) : value_(v) {}
    Variant(Currency v) : value_(v) {}
    Variant(OleDate v) : value_(v) {}
    Variant(std::string s) : value_(std::move(s)) {}
    Variant(const char* s) : value_(std::string(s)) {}
    Variant(ObjectRef o) : value_(std::move(o)) {}
    Variant(DataObjectRef o) : value_(std::move(o)) {}
    Variant(RecordValue r) : value_(std::move(r)) {}
    Variant(NullValue) : value_(NullValue{}) {}
    Variant(MissingArgument) : value_(MissingArgument{}) {}
    Variant(SafeArray array);

    static Variant null() { return Variant(NullValue{}); }
    static Variant missing() { return Variant(MissingArgument{}); }
    static Variant object(std::shared_ptr<Dispatch> o) { return Variant(ObjectRef{std::move(o)}); }
    static Variant nothing() { return Variant(ObjectRef{}); }

    VarType type() const;
    bool isEmpty() const { return type() == VarType::Empty; }
    bool isNull() const { return type() == VarType::Null; }
    bool isMissing() const { return type() == VarType::Missing; }
    bool isString() const { return type() == VarType::String; }
    bool isArray() const { return type() == VarType::Array; }
    bool isObject() const { return type() == VarType::Object; }
    // Numbers of every width, Currency and Boolean (which the runtime treats as a number).
    bool isNumeric() const;

    // Typed access without conversion; throws RuntimeError 13 (type mismatch) on the wrong kind.
    bool asBool() const;
    const std::string& asString() const;
    const ObjectRef& asObject() const;
    const DataObjectRef& asDataObject() const;
    const RecordValue& asRecord() const;
    const SafeArray& asArray() const;
    SafeArray& asArray();
    Currency asCurrency() const;
    OleDate asDate() const;

    // The value as a double, for Boolean, every number, Currency and Date; throws 13 otherwise.
    double numberValue() const;

    // Raw access for code that switches over every kind (the dump, the XML writer).
    using Storage =
        std::variant<std::monostate, NullValue, MissingArgument, bool, std::uint8_t, std::int16_t,
                     std::int32_t, std::int64_t, float, double, Currency, OleDate, std::string,
                     ObjectRef, DataObjectRef, RecordValue, std::shared_ptr<SafeArray>>;
    const Storage& storage() const { return value_; }

  private:
    Storage value_;
};

// The runtime's Boolean stored as a number: True is all bits set, False is 0.
inline constexpr std::int16_t kVbTrue = -1;
inline constexpr std::int16_t kVbFalse = 0;

// One dimension of an array: lower bound and element count.
struct ArrayBound {
    std::int32_t lower = 0;
    std::int32_t count = 0;
    std::int32_t upper() const { return lower + count - 1; }
};

// A multi-dimensional array with arbitrary lower bounds, as the old runtime's arrays are. An
// array with no dimensions has never been sized. Elements are stored with the first index
// varying fastest, as the old runtime lays them out.
class SafeArray {
  public:
    SafeArray() = default;  // never sized
    explicit SafeArray(std::vector<ArrayBound> bounds, Variant fill = {});

    int dimensions() const { return static_cast<int>(bounds_.size()); }
    // Bounds of dimension d (1-based, as LBound/UBound count); throws RuntimeError 9 when the
    // array has no such dimension.
    std::int32_t lowerBound(int dimension) const;
    std::int32_t upperBound(int dimension) const;
    const std::vector<ArrayBound>& bounds() const { return bounds_; }
    std::size_t elementCount() const { return elements_.size(); }

    // Element access by indexes, one per dimension; throws RuntimeError 9 when an index lies
    // outside its dimension or the number of indexes is wrong.
    const Variant& at(const std::vector<std::int32_t>& indexes) const;
    Variant& at(const std::vector<std::int32_t>& indexes);

    // One-dimensional helpers.
    static SafeArray fromBytes(const std::string& bytes, std::int32_t lower = 0);
    static SafeArray fromVector(std::vector<Variant> values, std::int32_t lower = 0);

  private:
    std::size_t offsetOf(const std::vector<std::int32_t>& indexes) const;

    std::vector<ArrayBound> bounds_;
    std::vector<Variant> elements_;
};

}  // namespace kx

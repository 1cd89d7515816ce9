#pragma once
// One variable as the crash dump sees it: a name and a reference to the live value, read only
// when the dump is rendered, so that the dump shows the value at the moment of the failure.
//
// Names are kept as views: pass literal texts (or text that outlives the Variable). A referenced
// value must outlive the Variable too; a procedure's locals and parameters outlive its frame
// because the frame is declared after them.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>

#include "platform/runtime/dispatch.h"
#include "platform/runtime/variant.h"

namespace kx::crash {

// Conversions of the launcher's C++ value types into the runtime's Variant.
inline const Variant& toVariant(const Variant& value) {
    return value;
}

template <typename D>
requires std::is_base_of_v<Dispatch, D> Variant toVariant(const std::shared_ptr<D>& object) {
    return Variant::object(object);
}

template <typename T>
requires std::is_constructible_v<Variant, const T&> Variant toVariant(const T& value) {
    return Variant(value);
}

template <typename T>
concept Dumpable = requires(const T& value) {
    {toVariant(value)};
};

class Variable {
  public:
    // A variable rendered by qtrFormatValue from the current value of `value`.
    template <Dumpable T>
    static Variable of(std::string_view name, const T& value) {
        return Variable(name, Kind::Value, &value, &readAs<T>, {});
    }
    // A temporary would be gone before the dump reads it.
    template <Dumpable T>
    static Variable of(std::string_view name, const T&& value) = delete;
    // A variable of a record type declared in the launcher: shown as "<name>{type}</name>".
    static Variable record(std::string_view name, std::string_view typeName) {
        return Variable(name, Kind::Record, nullptr, nullptr, typeName);
    }
    // A variable of a record type from an outside type library: shown with
    // "{Cannot dump external UDTs}" between the tags.
    static Variable externalRecord(std::string_view name) {
        return Variable(name, Kind::ExternalRecord, nullptr, nullptr, {});
    }

    std::string_view name() const { return name_; }
    bool isRecordPlaceholder() const { return kind_ != Kind::Value; }

    // The variable's entry of the dump at `indent` spaces. Never throws a RuntimeError: a value
    // that cannot be rendered yields the "{Error n formatting for output}" entry.
    std::string render(std::int32_t indent) const;

  private:
    enum class Kind : std::uint8_t { Value, Record, ExternalRecord };
    using Reader = Variant (*)(const void*);

    Variable(std::string_view name, Kind kind, const void* value, Reader read,
             std::string_view typeName)
        : name_(name), kind_(kind), value_(value), read_(read), typeName_(typeName) {}

    template <typename T>
    static Variant readAs(const void* value) {
        return toVariant(*static_cast<const T*>(value));
    }

    std::string_view name_;
    Kind kind_;
    const void* value_;
    Reader read_;
    std::string_view typeName_;
};

}  // namespace kx::crash

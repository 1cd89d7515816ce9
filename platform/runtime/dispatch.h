#pragma once
// Objects reached by member name (late binding), as the old runtime's IDispatch objects are:
// components created by ProgID, remote-object proxies, collections and windows all implement
// this one interface.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/runtime/variant.h"

namespace kx {

enum class InvokeKind : std::uint8_t { Method, PropertyGet, PropertyPut };

class Dispatch : public std::enable_shared_from_this<Dispatch> {
  public:
    virtual ~Dispatch() = default;

    // The object's type name, as TypeName() reports it (for example "Collection").
    virtual std::string typeName() const = 0;

    // Invokes a member by name. Arguments are passed by reference: a member may write back into
    // them. Member names compare without regard to letter case. An unknown member raises
    // RuntimeError 438; a wrong argument count raises 450.
    virtual Variant invoke(std::string_view member, InvokeKind kind,
                           std::vector<Variant>& args) = 0;

    // Whether the object answers the enumeration member "_NewEnum" (it is a collection).
    virtual bool isEnumerable() const { return false; }
    // The members an enumeration yields, in order; only for enumerable objects.
    virtual std::vector<Variant> enumerate() const { return {}; }

    // Convenience wrappers around invoke().
    Variant call(std::string_view method, std::vector<Variant> args = {});
    Variant get(std::string_view property, std::vector<Variant> args = {});
    void put(std::string_view property, Variant value);
};

// Case-insensitive comparison of member names (ASCII letters).
bool sameMemberName(std::string_view a, std::string_view b);

// The old runtime's Collection: an ordered list of values, 1-based. Members: Add(item),
// Count, Item(index) (also the default member), Remove(index), _NewEnum.
class Collection : public Dispatch {
  public:
    std::string typeName() const override { return "Collection"; }
    Variant invoke(std::string_view member, InvokeKind kind, std::vector<Variant>& args) override;
    bool isEnumerable() const override { return true; }
    std::vector<Variant> enumerate() const override { return items_; }

    void Add(Variant item) { items_.push_back(std::move(item)); }
    std::int32_t Count() const { return static_cast<std::int32_t>(items_.size()); }
    // 1-based; throws RuntimeError 9 outside 1..Count.
    const Variant& Item(std::int32_t index) const;
    void Remove(std::int32_t index);
    const std::vector<Variant>& items() const { return items_; }

  private:
    std::vector<Variant> items_;
};

}  // namespace kx

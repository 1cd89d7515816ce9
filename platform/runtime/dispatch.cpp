#include "platform/runtime/dispatch.h"

#include "platform/runtime/run_time_error.h"
#include "platform/text/ascii_text.h"

namespace kx {

Variant Dispatch::call(std::string_view method, std::vector<Variant> args) {
    return invoke(method, InvokeKind::Method, args);
}

Variant Dispatch::get(std::string_view property, std::vector<Variant> args) {
    return invoke(property, InvokeKind::PropertyGet, args);
}

void Dispatch::put(std::string_view property, Variant value) {
    std::vector<Variant> args{std::move(value)};
    invoke(property, InvokeKind::PropertyPut, args);
}

bool sameMemberName(std::string_view a, std::string_view b) {
    return ascii::equalsNoCase(a, b);
}

namespace {
std::int32_t indexArgument(const Variant& v) {
    const double d = v.numberValue();
    if (d < -2147483648.0 || d > 2147483647.0) {
        raiseError(vberr::kSubscriptOutOfRange);
    }
    return static_cast<std::int32_t>(d);
}

void requireArguments(const std::vector<Variant>& args, std::size_t count) {
    if (args.size() != count) {
        raiseError(vberr::kWrongNumberOfArguments);
    }
}
}  // namespace

const Variant& Collection::Item(std::int32_t index) const {
    if (index < 1 || index > Count()) {
        raiseError(vberr::kSubscriptOutOfRange);
    }
    return items_[static_cast<std::size_t>(index - 1)];
}

void Collection::Remove(std::int32_t index) {
    Item(index);  // validates
    items_.erase(items_.begin() + (index - 1));
}

Variant Collection::invoke(std::string_view member, InvokeKind kind, std::vector<Variant>& args) {
    if (sameMemberName(member, "Add") && kind == InvokeKind::Method) {
        if (args.empty()) {
            raiseError(vberr::kWrongNumberOfArguments);
        }
        Add(args.front());
        return {};
    }
    if (sameMemberName(member, "Count") && kind != InvokeKind::PropertyPut) {
        requireArguments(args, 0);
        return Count();
    }
    if ((sameMemberName(member, "Item") || member.empty()) && kind != InvokeKind::PropertyPut) {
        requireArguments(args, 1);
        return Item(indexArgument(args.front()));
    }
    if (sameMemberName(member, "Remove") && kind == InvokeKind::Method) {
        requireArguments(args, 1);
        Remove(indexArgument(args.front()));
        return {};
    }
    raiseError(vberr::kObjectDoesntSupportMember);
}

}  // namespace kx

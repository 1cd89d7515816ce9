#include "platform/registry/key_path.h"

#include <algorithm>

#include "platform/registry/registry.h"
#include "platform/text/ascii_text.h"

namespace kx::registry::detail {
namespace {

// Characters, not bytes: UTF-8 continuation bytes do not count.
std::size_t characterCount(std::string_view text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0U) != 0x80U;
    }));
}

}  // namespace

std::string foldName(std::string_view name) {
    return ascii::upperCase(name);
}

long parseKeyPath(std::string_view text, KeyPath& out) {
    if (text.find('\0') != std::string_view::npos) {
        return kErrorInvalidParameter;
    }
    while (!text.empty() && text.back() == '\\') {
        text.remove_suffix(1);
    }
    if (characterCount(text) > kMaxKeyPathLength) {
        return kErrorInvalidParameter;
    }
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = std::min(text.find('\\', start), text.size());
        std::string_view name = text.substr(start, end - start);
        if (name.empty()) {
            return kErrorBadPathname;
        }
        if (characterCount(name) > kMaxKeyNameLength) {
            return kErrorInvalidParameter;
        }
        start = end + 1;
    }
    out.written = std::string(text);
    out.folded = foldName(text);
    return kErrorSuccess;
}

long joinKeyPath(const KeyPath& base, const KeyPath& relative, KeyPath& out) {
    if (relative.isRoot()) {
        out = base;
        return kErrorSuccess;
    }
    if (base.isRoot()) {
        out = relative;
        return kErrorSuccess;
    }
    if (characterCount(base.written) + 1 + characterCount(relative.written) > kMaxKeyPathLength) {
        return kErrorInvalidParameter;
    }
    out.written = base.written + "\\" + relative.written;
    out.folded = base.folded + "\\" + relative.folded;
    return kErrorSuccess;
}

long checkValueName(std::string_view name) {
    if (name.find('\0') != std::string_view::npos || characterCount(name) > kMaxValueNameLength) {
        return kErrorInvalidParameter;
    }
    return kErrorSuccess;
}

std::string parentPath(std::string_view folded) {
    std::size_t slash = folded.rfind('\\');
    return slash == std::string_view::npos ? std::string() : std::string(folded.substr(0, slash));
}

std::string lastName(std::string_view written) {
    std::size_t slash = written.rfind('\\');
    return std::string(slash == std::string_view::npos ? written : written.substr(slash + 1));
}

}  // namespace kx::registry::detail

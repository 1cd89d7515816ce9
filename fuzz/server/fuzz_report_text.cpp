// Report texts as any sender may post them: the description's grouping form and the context's
// layout for reading. Neither may fail, and neither makes up text: a normalised description
// grows only by its placeholders, and the layout shows no more than it was given.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "server/support/context_layout.h"
#include "server/support/store/report_fingerprint.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    using namespace kx::server::support;
    // "<path>" for a lone backslash is the largest growth: six times.
    if (normalisedDescription(text).size() > 6 * std::min(size, kDescriptionPrefix)) {
        __builtin_trap();
    }
    const ContextLayout layout = layOutContext(text);
    std::size_t shown = layout.other.size();
    for (const auto& section : layout.sections) {
        for (const auto& entry : section.entries) {
            shown += entry.name.size() + entry.value.size();
        }
    }
    for (const auto& item : layout.diagnostics) {
        shown += item.label.size() + item.value.size();
    }
    if (shown > size) {
        __builtin_trap();
    }
    return 0;
}

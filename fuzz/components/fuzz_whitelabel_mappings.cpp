// The white-label mapping file read from arbitrary bytes, then the same bytes remapped by what was
// read. Besides not crashing: every mapping has a known prefix, a non-empty text without "^",
// no blanks around text or replacement, and came from a line within the length bound; a remapped
// text never grows past the bound.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "components/whitelabel/mapping_file.h"
#include "components/whitelabel/remap_text.h"

namespace {

using namespace kx::whitelabel;

bool hasOuterBlanks(std::string_view text) {
    return !text.empty() && (text.front() == ' ' || text.front() == '\t' || text.back() == ' ' ||
                             text.back() == '\t');
}

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view content(reinterpret_cast<const char*>(data), size);
    std::vector<Mapping> mappings;
    for (const MappingLine& line : parseMappings(content)) {
        const Mapping& m = line.mapping;
        check(line.prefix == kTextPrefix || line.prefix == kIconPrefix ||
              line.prefix == kEmailPrefix || line.prefix == kUrlPrefix);
        check(!m.text.empty() && m.text.find('^') == std::string::npos);
        check(!hasOuterBlanks(m.text) && !hasOuterBlanks(m.replacement));
        check(line.prefix.size() + m.text.size() + 1 + m.replacement.size() <=
              kMaxMappingLineLength);
        check(content.find(m.text) != std::string_view::npos);
        mappings.push_back(m);
    }
    const std::string remapped = remapText(content, mappings);
    check(remapped.size() <= std::max(kMaxRemappedLength, content.size()));
    return 0;
}

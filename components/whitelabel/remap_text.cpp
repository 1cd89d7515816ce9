#include "components/whitelabel/remap_text.h"

#include <algorithm>
#include <array>

namespace kx::whitelabel {

namespace {

// The mappings that may match where a byte stands, longest text first and, of equal texts, the
// later mapping first.
using Candidates = std::array<std::vector<const Mapping*>, 256>;

Candidates candidatesByFirstByte(const std::vector<Mapping>& mappings) {
    Candidates candidates;
    for (auto it = mappings.rbegin(); it != mappings.rend(); ++it) {
        if (!it->text.empty()) {
            candidates[static_cast<unsigned char>(it->text.front())].push_back(&*it);
        }
    }
    for (auto& list : candidates) {
        std::stable_sort(list.begin(), list.end(), [](const Mapping* a, const Mapping* b) {
            return a->text.size() > b->text.size();
        });
    }
    return candidates;
}

}  // namespace

std::string remapText(std::string_view text, const std::vector<Mapping>& mappings) {
    const Candidates candidates = candidatesByFirstByte(mappings);
    std::string remapped;
    remapped.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const std::string_view rest = text.substr(at);
        const auto& list = candidates[static_cast<unsigned char>(rest.front())];
        const auto match = std::find_if(
            list.begin(), list.end(), [&](const Mapping* m) { return rest.starts_with(m->text); });
        if (match == list.end()) {
            remapped += rest.front();
            ++at;
        } else {
            remapped += (*match)->replacement;
            at += (*match)->text.size();
        }
        if (remapped.size() > kMaxRemappedLength) {
            return std::string(text);
        }
    }
    return remapped;
}

}  // namespace kx::whitelabel

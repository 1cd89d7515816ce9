#pragma once
// What this machine remembers of the signed install lists it accepted, per install group: the
// highest sequence it has accepted (a list signed before it is an old one replayed) and the lines
// of the list's start rows (install_list_text.h), which still start the installed application
// when a later list fails its check. Kept under
// SOFTWARE\Kestrix\KXVantor\VerifiedInstallLists\INSTALL_<group>, values "Sequence" and
// "StartRows" (the lines, each ending in LF), in the machine registry when this process may write
// it, else in the user's; reading takes whichever of the two holds the higher sequence.

#include <cstdint>
#include <string>
#include <vector>

namespace kx::launcher {

struct VerifiedList {
    std::int64_t sequence = 0;  // 0: no list of the group accepted yet
    std::vector<std::string> startRows;
    bool operator==(const VerifiedList&) const = default;
};

VerifiedList rememberedList(std::int64_t group);

// Nothing is written when the registry holds it already (a start that finds nothing changed);
// best effort: a registry that cannot be written is noted in the debug log.
void rememberList(std::int64_t group, const VerifiedList& list);

}  // namespace kx::launcher

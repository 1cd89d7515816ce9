#pragma once
// The patches an install list offers for one file, as its "Patches" cell spells them: one entry
// per patch, separated by spaces, each "<source SHA-256>:<patch length>:<patch SHA-256>:<download
// location>". The source is the version of the file the patch starts from, the location is
// percent-encoded and relative, like the row's own DownloadLocation. An empty cell offers none.
//
// The cell comes from the server and is untrusted: parsing bounds its length, the number of
// entries and each field, and refuses the whole cell when any entry is malformed.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kx::files {

struct PatchOffer {
    std::string sourceSha256;  // 64 lower-case hex digits
    std::uint64_t size = 0;    // of the patch, 1 to kMaxOfferedPatchBytes
    std::string sha256;        // of the patch
    std::string location;      // letters, digits, "-._~/%"; no "." or ".." segment, no leading "/"

    bool operator==(const PatchOffer&) const = default;
};

inline constexpr std::size_t kMaxPatchOffers = 8;
inline constexpr std::size_t kMaxPatchesCellLength = 4096;
inline constexpr std::uint64_t kMaxOfferedPatchBytes = std::uint64_t{1} << 40;

std::string patchesCellText(const std::vector<PatchOffer>& offers);
// nullopt for a cell that is not such a list (empty offers for an empty or all-blank cell).
std::optional<std::vector<PatchOffer>> parsePatchesCell(std::string_view cell);

}  // namespace kx::files

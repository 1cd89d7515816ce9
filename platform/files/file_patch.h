#pragma once
// Patches between two versions of a file. A patch is one Zstandard frame holding the new version
// compressed with the old version as its reference prefix and a window that spans both, with
// long-distance matching: what the versions share costs a few bytes per match, and only what
// changed is stored. The frame states the new version's length and carries a checksum of it.
//
// Applying maps the old file and the patch read-only and decodes in one pass straight into the
// result file, mapped and reserved on the disk beforehand: no window buffer, no copy of either
// file in memory, so that patching a file of a gigabyte costs no more anonymous memory than
// patching a small one.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace kx::files {

// The largest window a patch may ask for (2 GiB): the old and the new version together must fit
// in it, else no patch is made, and a patch asking for more is refused.
inline constexpr int kMaxPatchWindowLog = 31;

struct PatchBytes {
    std::unique_ptr<char[]> data;
    std::size_t size = 0;
};

// Compresses `newFile` into `out` at `level`, with `oldFile` as its reference ("" for none: the
// new file compressed alone, which a patch is measured against). Returns "" or why it could not
// be made (a file that cannot be read, versions too large for the window).
std::string makePatch(const std::string& oldFile, const std::string& newFile, int level,
                      PatchBytes& out);

struct AppliedPatch {
    std::string failure;  // "" when the result was written whole
    std::string sha256;   // of the result, 64 lower-case hex digits
    std::uint64_t size = 0;
};

// Writes to `resultFile` (created anew) what the patch `patchFile` makes of `oldFile`. The patch
// is untrusted: it must be exactly one frame that states a result of at most `maxResultBytes`,
// asks for a window of at most kMaxPatchWindowLog and whose checksum matches; a result that
// fails is removed.
AppliedPatch applyPatch(const std::string& oldFile, const std::string& patchFile,
                        const std::string& resultFile, std::uint64_t maxResultBytes);

}  // namespace kx::files

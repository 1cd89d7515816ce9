#pragma once
// The earlier versions of published files, and the patches made from them. When a file is
// published again, a patch is made from each version of it that the catalog keeps to the new one
// (file_patch.h), and offered in the row's Patches cell when it is smaller than kMostPatchShare of
// the new file compressed alone; then the new version is kept and the oldest beyond
// kKeptVersions dropped.
//
// Kept versions lie, as published (before any gzip), in the catalog folder's
// "versions/<group>/<SHA-256>", where no request reaches them. Patches lie beside the published
// file in the group's served folder, "<name>.<16 hex digits of the source's digest>.<16 of the
// target's>.kxpatch", so that a web server serving the files serves them too; a patch no row
// offers any longer is removed.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "server/catalog.h"

namespace kx::server {

inline constexpr std::size_t kKeptVersions = 3;
inline constexpr double kMostPatchShare = 0.6;

struct MadePatches {
    std::string cell;                // the row's Patches cell
    std::vector<std::string> notes;  // a line for each patch made, left out or failed
};

// Makes the patches to `source` (whose digest is `sha256`) from the kept versions of the group's
// file `fileName`, into the group's served folder.
MadePatches makePatchesTo(Catalog& catalog, std::int64_t group, const std::string& fileName,
                          const std::filesystem::path& source, const std::string& sha256);

// Once the row is in the catalog: keeps `source` as the newest version of the file, drops those
// beyond kKeptVersions, and removes the patches in the group's folder that no row offers.
void keepPublishedVersion(Catalog& catalog, std::int64_t group, const std::string& fileName,
                          const std::filesystem::path& source, const std::string& sha256);

}  // namespace kx::server

#include "server/published_versions.h"

#include <set>
#include <stdexcept>

#include "platform/files/file_patch.h"
#include "platform/files/file_placement.h"
#include "platform/files/patch_offers.h"
#include "platform/files/sha256_file.h"
#include "server/install_files.h"
#include "server/publish.h"

namespace kx::server {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kPatchSuffix = ".kxpatch";
// Slow to make, which publishing can afford, and as small as zstd makes them; very large files
// get a faster level, or a publish would take hours.
constexpr int kPatchLevel = 19;
constexpr int kLargeFilePatchLevel = 9;
constexpr std::uintmax_t kLargeFileBytes = 256ULL << 20;

fs::path versionFile(const fs::path& catalogDir, std::int64_t group, const std::string& sha256) {
    return catalogDir / "versions" / std::to_string(group) / sha256;
}

std::string patchName(const std::string& fileName, const std::string& from, const std::string& to) {
    return fileName + "." + from.substr(0, 16) + "." + to.substr(0, 16) + std::string(kPatchSuffix);
}

void removeUnofferedPatches(Catalog& catalog, std::int64_t group) {
    std::set<std::string> offered;
    for (const InstallFile& row : catalog.installFiles(group, 0)) {
        for (const files::PatchOffer& offer :
             files::parsePatchesCell(row.patches).value_or(std::vector<files::PatchOffer>())) {
            offered.insert(fs::path(offer.location).filename().string());
        }
    }
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(installGroupFolder(catalog.dir(), group))) {
        const std::string name = entry.path().filename().string();
        if (name.ends_with(kPatchSuffix) && offered.count(name) == 0) {
            fs::remove(entry.path(), ignored);
        }
    }
}

}  // namespace

MadePatches makePatchesTo(Catalog& catalog, std::int64_t group, const std::string& fileName,
                          const fs::path& source, const std::string& sha256) {
    MadePatches made;
    const std::vector<std::string> versions = catalog.keptVersions(group, fileName);
    if (versions.empty() || (versions.size() == 1 && versions[0] == sha256)) {
        return made;
    }
    const int level = fs::file_size(source) > kLargeFileBytes ? kLargeFilePatchLevel : kPatchLevel;
    files::PatchBytes whole;
    if (const std::string failure = files::makePatch("", source.string(), level, whole);
        !failure.empty()) {
        made.notes.push_back("no patches for " + fileName + ": " + failure);
        return made;
    }
    std::vector<files::PatchOffer> offers;
    for (const std::string& version : versions) {
        const fs::path old = versionFile(catalog.dir(), group, version);
        // A kept version that is not what its name says would make patches that fail.
        if (version == sha256 || files::sha256FileHex(old.string()) != version) {
            continue;
        }
        const std::string from = version.substr(0, 16);
        files::PatchBytes patch;
        if (const std::string failure =
                files::makePatch(old.string(), source.string(), level, patch);
            !failure.empty()) {
            made.notes.push_back("no patch for " + fileName + " from " + from + ": " + failure);
            continue;
        }
        if (static_cast<double>(patch.size) >= kMostPatchShare * static_cast<double>(whole.size)) {
            made.notes.push_back("no patch for " + fileName + " from " + from + ": " +
                                 std::to_string(patch.size) + " bytes, the file compressed " +
                                 std::to_string(whole.size));
            continue;
        }
        const std::string content(patch.data.get(), patch.size);
        files::Sha256 digest;
        digest.update(content.data(), content.size());
        const std::string name = patchName(fileName, version, sha256);
        const fs::path target = installGroupFolder(catalog.dir(), group) / name;
        if (const auto failure = files::placeContent(content, target.string()); !failure.empty()) {
            throw std::runtime_error(failure);
        }
        offers.push_back({version, patch.size, digest.finishHex(),
                          encodeDownloadLocation(std::to_string(group) + "/" + name)});
        made.notes.push_back("patch for " + fileName + " from " + from + ": " +
                             std::to_string(patch.size) + " bytes, the file compressed " +
                             std::to_string(whole.size));
    }
    made.cell = files::patchesCellText(offers);
    return made;
}

void keepPublishedVersion(Catalog& catalog, std::int64_t group, const std::string& fileName,
                          const fs::path& source, const std::string& sha256) {
    const fs::path kept = versionFile(catalog.dir(), group, sha256);
    fs::create_directories(kept.parent_path());
    if (!fs::is_regular_file(kept)) {
        // A copy of its own, never a link: the folder published from may be changed in place.
        const fs::path copy = files::temporaryPathFor(kept.string());
        fs::copy_file(source, copy, fs::copy_options::overwrite_existing);
        fs::rename(copy, kept);
    }
    std::error_code ignored;
    for (const std::string& dropped : catalog.keepVersion(group, fileName, sha256, kKeptVersions)) {
        fs::remove(versionFile(catalog.dir(), group, dropped), ignored);
    }
    removeUnofferedPatches(catalog, group);
}

}  // namespace kx::server

#pragma once
// Publishing install files: copying a folder's files into an install group's served folder and
// listing them in the catalog, and naming the program a deployment starts.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "server/catalog.h"

namespace kx::server {

struct PublishOptions {
    std::int64_t group = 0;
    std::filesystem::path folder;
    std::int64_t installType = 2;  // replace the target
    std::string location = "KESTRIXDIR";
    bool compress = false;  // serve a gzip copy; the row's IsCompressed says so
    std::string version;    // used for files without a ".ver" side file
    // Where the launcher reads the installed version instead of the target file: a registry
    // value (AltCheckRegValue of key AltCheck) or, without a value name, the file AltCheck.
    std::string altCheck;
    std::string altCheckRegValue;
    // The SequenceID of every published file (1 to 9998; files of one SequenceID keep the order
    // they were published in); 0 numbers them on from the group's last row in steps of 10.
    std::int64_t sequence = 0;
};

// Publishes every regular file directly inside the folder, in name order. A file "x.ver" beside
// a file "x" is x's version side file: its first line is x's FileVersion, and it is not
// published itself. Files without a side file get `version`, or when that is empty the version
// the file carries itself (a PE version resource, an ELF package note). Each row carries the
// SHA-256 of the file as published (before any compression), which the launcher checks.
// A file published again gets patches from its earlier versions (published_versions.h).
// Numbering that would reach the start row's 9999 is refused (std::invalid_argument): such a row
// would be taken for the program to start. Each file
// gets the next SequenceID of the group; republishing a name replaces its row. The group is created
// when needed and its stamp set to `now`. Returns what was published and the names of the entries
// that are not regular files (folders, devices, links to such), which are left out; throws
// std::invalid_argument or std::runtime_error on failure.
struct PublishedFolder {
    int count = 0;
    std::vector<std::string> skipped;
    std::vector<std::string> patchNotes;  // a line for each patch made, left out or failed
};
PublishedFolder publishFolder(Catalog& catalog, const PublishOptions& options, std::int64_t now);

// Adds (or replaces) the start row of a group: the program at `location` + FileName that the
// launcher starts. SequenceID 9999, InstallType 0, nothing to download.
void addStartRow(Catalog& catalog, std::int64_t group, const std::string& fileName,
                 const std::string& location, const std::string& description);

// Percent-encodes every byte of a download location except letters, digits, "-._~" and "/".
std::string encodeDownloadLocation(const std::string& location);

}  // namespace kx::server

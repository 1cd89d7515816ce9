#pragma once
// Where published install files live and how a download address finds one. A deployment's
// files are fetched at  <BusObjURL path>/<deployment type>/InstallFiles/<DownloadLocation>;
// the download location names the install group's folder and the file in it ("12/setup.bin"), or
// the group's list signature ("INSTALL_12.minisig", list_signing.h), and only groups of a
// deployment served at that path with that type can be reached.

#include <filesystem>
#include <optional>
#include <string>

#include "server/catalog.h"

namespace kx::server {

// The folder holding the published files of one install group.
std::filesystem::path installGroupFolder(const std::filesystem::path& serverDir,
                                         std::int64_t groupId);

struct FileRequest {
    std::string busObjPath;  // "/" when the files hang directly under the root
    std::string type;
    std::string location;
};

// Splits a request path at its "/<type>/InstallFiles/" part (the folder name matched without
// regard to case); nullopt when the path has no such part.
std::optional<FileRequest> splitInstallFilePath(const std::string& path);

// The regular file to serve for a request, or nullopt when there is none or the location is not
// acceptable: empty, absolute, with a ".." segment, a backslash or a control character, in a
// group no deployment at that path and type uses, or resolving (through symbolic links too)
// outside its group's folder.
std::optional<std::filesystem::path> resolveInstallFile(Catalog& catalog,
                                                        const FileRequest& request);

}  // namespace kx::server

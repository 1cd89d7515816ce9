#include "server/install_files.h"

#include <algorithm>
#include <charconv>
#include <system_error>

#include "platform/signing/install_list_text.h"
#include "platform/text/ascii_text.h"
#include "server/list_signing.h"

namespace kx::server {

namespace {

constexpr std::string_view kFolder = "/installfiles/";

bool acceptableLocation(const std::string& location) {
    if (location.empty() || location.front() == '/' || location.size() > 1024) {
        return false;
    }
    if (std::any_of(location.begin(), location.end(),
                    [](unsigned char c) { return c < 0x20 || c == 0x7F || c == '\\'; })) {
        return false;
    }
    // Any "." or ".." segment, and empty segments, are refused outright.
    std::size_t start = 0;
    while (start <= location.size()) {
        std::size_t end = location.find('/', start);
        if (end == std::string::npos) {
            end = location.size();
        }
        const std::string_view segment(location.data() + start, end - start);
        if (segment.empty() || segment == "." || segment == "..") {
            return false;
        }
        start = end + 1;
    }
    return true;
}

bool isInside(const std::filesystem::path& candidate, const std::filesystem::path& folder) {
    const std::string prefix = folder.string() + "/";
    return candidate.string().compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

std::filesystem::path installGroupFolder(const std::filesystem::path& serverDir,
                                         std::int64_t groupId) {
    return serverDir / "files" / std::to_string(groupId);
}

std::optional<FileRequest> splitInstallFilePath(const std::string& path) {
    const std::size_t folder = ascii::lowerCase(path).find(kFolder);
    if (folder == std::string::npos || folder == 0) {
        return std::nullopt;
    }
    const std::size_t typeStart = path.rfind('/', folder - 1);
    if (typeStart == std::string::npos) {
        return std::nullopt;
    }
    FileRequest request;
    request.busObjPath = typeStart == 0 ? "/" : path.substr(0, typeStart);
    request.type = path.substr(typeStart + 1, folder - typeStart - 1);
    request.location = path.substr(folder + kFolder.size());
    return request;
}

std::optional<std::filesystem::path> resolveInstallFile(Catalog& catalog,
                                                        const FileRequest& request) {
    if (!acceptableLocation(request.location)) {
        return std::nullopt;
    }
    // "<group>/<name>" in the group's folder, or the group's list signature beside the folders.
    const auto signatureGroup = signing::groupOfSignatureName(request.location);
    const std::string groupText = request.location.substr(0, request.location.find('/'));
    std::int64_t group = signatureGroup.value_or(0);
    if (!signatureGroup) {
        const auto [end, ec] =
            std::from_chars(groupText.data(), groupText.data() + groupText.size(), group);
        if (ec != std::errc() || end != groupText.data() + groupText.size() || group <= 0 ||
            groupText.size() == request.location.size()) {
            return std::nullopt;
        }
    }
    const auto deployments = catalog.deploymentsAt(request.busObjPath, request.type);
    const bool groupServedHere =
        std::any_of(deployments.begin(), deployments.end(), [&](const Deployment& d) {
            return d.installGroupId == group || d.customInstallGroupId == group;
        });
    if (!groupServedHere) {
        return std::nullopt;
    }
    std::error_code error;
    if (signatureGroup) {
        const auto file = listSignatureFile(catalog.dir(), group);
        return std::filesystem::is_regular_file(file, error) ? std::optional(file) : std::nullopt;
    }
    const auto folder =
        std::filesystem::weakly_canonical(installGroupFolder(catalog.dir(), group), error);
    if (error) {
        return std::nullopt;
    }
    const auto file = std::filesystem::weakly_canonical(
        catalog.dir() / "files" / std::filesystem::path(request.location), error);
    if (error || !isInside(file, folder) || !std::filesystem::is_regular_file(file, error)) {
        return std::nullopt;
    }
    return file;
}

}  // namespace kx::server

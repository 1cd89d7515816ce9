#pragma once
// Paths as text, joined with "/": what the launcher, the library and the tools do with folder and
// file names before they reach the file system.
//
// joinPath is the one way the launcher, the error library, the components and the platform join a
// folder and a name. Their paths are texts throughout (they come from the registry, install lists
// and the old runtime's string functions), and a name is always put under its folder:
// std::filesystem::path's operator/ would instead drop the folder for a name that starts with
// "/", which a name from outside data must never be able to do. The server alone keeps
// std::filesystem::path, its folders' type from its command line on, and joins with operator/
// only names it makes itself or has checked (a served file must lie inside its group's folder).

#include <string>
#include <string_view>

namespace kx {

// `base` + "/" + `name`.
inline std::string joinPath(std::string_view base, std::string_view name) {
    std::string path(base);
    path += '/';
    path += name;
    return path;
}

// `path` without its trailing "/"s; the root "/" stays.
inline std::string withoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

// The folder part of a file's path: "." for a bare name, "/" for a file in the root.
inline std::string folderOf(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos) {
        return ".";
    }
    return std::string(slash == 0 ? path.substr(0, 1) : path.substr(0, slash));
}

// What follows the last "/" (the whole path when there is none).
constexpr std::string_view fileNameOf(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace kx

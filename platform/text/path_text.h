#pragma once
// Paths as text, joined with "/": what the launcher, the library and the tools do with folder and
// file names before they reach the file system.

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

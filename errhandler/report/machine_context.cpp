#include "errhandler/report/machine_context.h"

#include <dlfcn.h>

#include <filesystem>
#include <system_error>

#include "platform/system/file_read.h"
#include "platform/system/machine_folders.h"
#include "platform/system/process_info.h"
#include "platform/text/path_text.h"

namespace kx::errhandler {

namespace {

constexpr std::size_t kMaxTokenLineBytes = 64 * 1024;

}  // namespace

std::string lastTickTokenFromLine(std::string_view line) {
    std::string joined;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '\r' && i + 1 < line.size() && line[i + 1] == '\n') {
            ++i;
            continue;
        }
        joined += line[i];
    }
    const std::size_t start = joined.size() > 40 ? joined.size() - 40 : 0;
    return joined.substr(start, 36);
}

std::string GetLastTickToken() {
    const std::string path = joinPath(sys::tokenDirectory(), sys::kLastTickTokenFileName);
    // One byte more than the longest line accepted tells a line that is too long from one that
    // just fits.
    const auto text = sys::readFileHead(path, kMaxTokenLineBytes + 1);
    if (!text) {
        return "";
    }
    const std::string_view line = sys::firstLine(*text);
    if (line.size() > kMaxTokenLineBytes) {
        return "";
    }
    return lastTickTokenFromLine(line);
}

std::string GetLibraryFilePath() {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&GetLibraryFilePath), &info) != 0 &&
        info.dli_fname != nullptr && info.dli_fname[0] != '\0') {
        std::error_code error;
        const auto file = std::filesystem::canonical(info.dli_fname, error);
        if (!error) {
            return file.string();
        }
    }
    // Linked into the program itself, the loader may not know the program's path.
    return sys::currentExecutablePath();
}

std::string GetLibraryDirectory() {
    const std::string file = GetLibraryFilePath();
    return file.empty() ? "" : std::filesystem::path(file).parent_path().string();
}

std::string GetParentProcess(const std::string& libraryDirectory) {
    return joinPath(libraryDirectory, sys::currentExecutableName());
}

std::string GetParentProcess() {
    return GetParentProcess(GetLibraryDirectory());
}

}  // namespace kx::errhandler

#include "install_row.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>

#include "vb_strings.h"

namespace kx::launcher {

TargetFolder targetFolderOf(const std::string& installLocation, const Module1State& state) {
    const std::array<std::pair<const char*, const std::string*>, 9> tokens = {{
        {"KESTRIXDIR", &state.KestrixDir},
        {"TEMPDIR", &state.TempDir},
        {"COMMONDIR", &state.CommonDir},
        {"BROKERDIR", &state.BrokerDir},
        {"CLIENTDIR", &state.ClientDir},
        {"OSTBROOKDIR", &state.OstbrookDir},
        {"SYSTEMDIR", &state.SystemDir},
        {"WINDOWSDIR", &state.WindowsDir},
        {"FONTSDIR", &state.FontsDir},
    }};
    const std::string token = UCase(installLocation);
    for (const auto& [name, folder] : tokens) {
        if (token == name) {
            return {*folder, folder == &state.FontsDir};
        }
    }
    return {};
}

std::string expandAltCheckTokens(const std::string& altCheck, const Module1State& state) {
    std::string path = Replace(altCheck, "<SYSTEMDIR>", state.SystemDir);
    path = Replace(path, "<PROGRAMFILES>", state.ProgFilesDir);
    return Replace(path, "<WINDOWSDIR>", state.WindowsDir);
}

bool isPlainFileName(const std::string& fileName) {
    return !fileName.empty() && fileName != "." && fileName != ".." &&
           fileName.find_first_of(std::string("/\\\0", 3)) == std::string::npos;
}

std::optional<std::string> digestOfCell(const std::string& cell) {
    if (cell.empty()) {
        return std::string();
    }
    if (cell.size() != 64 || !std::all_of(cell.begin(), cell.end(),
                                          [](unsigned char c) { return std::isxdigit(c) != 0; })) {
        return std::nullopt;
    }
    std::string digest = cell;
    std::transform(digest.begin(), digest.end(), digest.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return digest;
}

}  // namespace kx::launcher

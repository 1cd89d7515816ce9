#include "platform/system/os_info.h"

#include <sys/utsname.h>

#include <optional>

#include "platform/system/file_read.h"
#include "platform/text/ascii_text.h"

namespace kx::sys {

namespace {

constexpr std::size_t kMaxOsReleaseBytes = 64 * 1024;
constexpr std::size_t kMaxNameBytes = 200;

// Undoes the shell-style quoting of one os-release value.
std::string unquote(std::string_view value) {
    std::string out;
    if (value.size() >= 2 && value.front() == '\'' && value.back() == '\'') {
        out = value.substr(1, value.size() - 2);
    } else if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
        value = value.substr(1, value.size() - 2);
        for (std::size_t i = 0; i < value.size(); ++i) {
            if (value[i] == '\\' && i + 1 < value.size()) {
                ++i;
            }
            out += value[i];
        }
    } else {
        out = value;
    }
    std::string clean;
    for (const char c : out) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u != 0x7F && clean.size() < kMaxNameBytes) {
            clean += c;
        }
    }
    return clean;
}

}  // namespace

std::string osNameFromRelease(std::string_view text) {
    std::optional<std::string> pretty, name;
    while (!text.empty()) {
        const auto eol = text.find('\n');
        const std::string_view line = ascii::trimWhitespace(text.substr(0, eol));
        text = eol == std::string_view::npos ? std::string_view{} : text.substr(eol + 1);
        if (line.empty() || line.front() == '#') {
            continue;
        }
        const auto eq = line.find('=');
        if (eq == std::string_view::npos) {
            continue;
        }
        const std::string_view key = line.substr(0, eq);
        if (key == "PRETTY_NAME") {
            pretty = unquote(line.substr(eq + 1));
        } else if (key == "NAME") {
            name = unquote(line.substr(eq + 1));
        }
    }
    if (pretty && !pretty->empty()) {
        return *pretty;
    }
    if (name && !name->empty()) {
        return *name;
    }
    return "Linux";
}

std::string operatingSystemName(const OsInfoSources& sources) {
    for (const auto& path : sources.osReleasePaths) {
        if (const auto text = readFileHead(path, kMaxOsReleaseBytes)) {
            return osNameFromRelease(*text);
        }
    }
    return "Linux";
}

std::string kernelRelease() {
    struct utsname names {};
    if (::uname(&names) != 0) {
        return "";
    }
    return names.release;
}

std::string kernelRelease(const OsInfoSources& sources) {
    return sources.kernelRelease ? sources.kernelRelease() : kernelRelease();
}

}  // namespace kx::sys

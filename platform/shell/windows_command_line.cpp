#include "platform/shell/windows_command_line.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/text/ascii_text.h"
#include "platform/text/path_text.h"

namespace kx::shell {

namespace {

// A space or tab separates arguments.
using ascii::isBlank;
using ascii::skipBlanks;

bool isRegularFile(const std::string& path) {
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// Splits the arguments after the first one. Backslashes count only in front of a quote; a run of
// quotes inside a quoted part yields one literal quote for every third quote, as
// CommandLineToArgvW does.
void appendArguments(std::string_view text, std::vector<std::string>& arguments) {
    std::size_t at = skipBlanks(text, 0);
    while (at < text.size()) {
        std::string argument;
        std::size_t backslashes = 0;
        int quotes = 0;  // 0: outside a quoted part
        while (at < text.size() && !(isBlank(text[at]) && quotes == 0)) {
            const char c = text[at++];
            if (c == '\\') {
                argument += c;
                ++backslashes;
                continue;
            }
            if (c != '"') {
                argument += c;
                backslashes = 0;
                continue;
            }
            argument.resize(argument.size() - backslashes / 2);
            if (backslashes % 2 == 0) {
                ++quotes;
            } else {
                argument.back() = '"';
            }
            backslashes = 0;
            while (at < text.size() && text[at] == '"') {
                if (++quotes == 3) {
                    argument += '"';
                    quotes = 0;
                }
                ++at;
            }
            if (quotes == 2) {
                quotes = 0;
            }
        }
        arguments.push_back(std::move(argument));
        at = skipBlanks(text, at);
    }
}

// The first argument: the text between a leading quote and the next one, or up to the first
// blank; returns where the rest begins.
std::size_t firstArgument(std::string_view text, std::string& argument) {
    if (!text.empty() && text.front() == '"') {
        const std::size_t close = text.find('"', 1);
        argument =
            std::string(text.substr(1, close == std::string_view::npos ? text.npos : close - 1));
        return close == std::string_view::npos ? text.size() : close + 1;
    }
    std::size_t end = 0;
    while (end < text.size() && !isBlank(text[end])) {
        ++end;
    }
    argument = std::string(text.substr(0, end));
    return end;
}

}  // namespace

std::vector<std::string> splitWindowsCommandLine(const std::string& commandLine) {
    std::vector<std::string> arguments;
    std::string first;
    const std::size_t rest = firstArgument(commandLine, first);
    arguments.push_back(std::move(first));
    appendArguments(std::string_view(commandLine).substr(rest), arguments);
    return arguments;
}

std::string findInSearchPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    if (name.empty() || path == nullptr) {
        return {};
    }
    std::string_view folders(path);
    while (true) {
        const std::size_t colon = folders.find(':');
        const std::string_view folder = folders.substr(0, colon);
        const std::string candidate = joinPath(folder.empty() ? "." : folder, name);
        if (isRegularFile(candidate) && ::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
        if (colon == std::string_view::npos) {
            return {};
        }
        folders.remove_prefix(colon + 1);
    }
}

std::vector<std::string> splitWindowsArguments(std::string_view parameters) {
    std::vector<std::string> arguments;
    appendArguments(parameters, arguments);
    return arguments;
}

}  // namespace kx::shell

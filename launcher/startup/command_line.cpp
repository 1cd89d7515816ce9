#include "launcher/startup/command_line.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string_view>

#include "platform/shell/windows_command_line.h"
#include "platform/text/ascii_text.h"

namespace kx::launcher {

namespace {

bool isRegularFile(const std::string& path) {
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// Where the program named `name` lives: the name as a path when a file is there, else the search
// path for a bare name.
std::string locateProgram(const std::string& name) {
    if (isRegularFile(name)) {
        return name;
    }
    return name.find('/') == std::string::npos ? shell::findInSearchPath(name) : std::string();
}

}  // namespace

std::optional<ResolvedCommand> resolveCommandLine(const std::string& commandLine) {
    const std::string_view line =
        std::string_view(commandLine).substr(ascii::skipBlanks(commandLine, 0));
    if (line.empty()) {
        return std::nullopt;
    }
    // An unquoted program path may contain blanks: every prefix that ends before a blank, then the
    // whole line, is tried as a file, shortest first.
    if (line.front() != '"') {
        for (std::size_t end = line.find_first_of(" \t");;
             end = line.find_first_of(" \t", end + 1)) {
            const std::string prefix(line.substr(0, end));
            if (isRegularFile(prefix)) {
                ResolvedCommand command{prefix, {prefix}};
                if (end != std::string_view::npos) {
                    const auto rest = shell::splitWindowsArguments(line.substr(end));
                    command.argv.insert(command.argv.end(), rest.begin(), rest.end());
                }
                return command;
            }
            if (end == std::string_view::npos) {
                break;
            }
        }
    }
    ResolvedCommand command;
    command.argv = shell::splitWindowsCommandLine(std::string(line));
    command.program = locateProgram(command.argv.front());
    if (command.program.empty()) {
        return std::nullopt;
    }
    return command;
}

}  // namespace kx::launcher

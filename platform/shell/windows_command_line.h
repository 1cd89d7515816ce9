#pragma once
// The Windows rules for command lines, which programs of this system keep using on Linux: how a
// command line or a parameter text splits into arguments, and where a program name is found.

#include <string>
#include <string_view>
#include <vector>

namespace kx::shell {

// The arguments of a command line by the rules of CommandLineToArgvW: the first argument ends at
// the first blank or tab, or is the text between a leading quote and the next quote, without any
// backslash processing; in the others 2n backslashes before a quote give n backslashes and the
// quote opens or closes a quoted part, 2n+1 backslashes before a quote give n backslashes and a
// literal quote, other backslashes stand for themselves, and inside a quoted part "" gives a
// literal quote and ends the quoted part.
std::vector<std::string> splitWindowsCommandLine(const std::string& commandLine);

// The arguments of a parameter text (a command line without its program): every argument split
// as the ones after the first.
std::vector<std::string> splitWindowsArguments(std::string_view parameters);

// `name` looked up in the folders of $PATH: the first executable regular file; "" when none.
std::string findInSearchPath(const std::string& name);

}  // namespace kx::shell

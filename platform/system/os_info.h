#pragma once
// The operating system's name and kernel release, the Linux counterpart of the old platform's
// version record.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kx::sys {

struct OsInfoSources {
    // os-release files, tried in order; the first readable one counts.
    std::vector<std::string> osReleasePaths = {"/etc/os-release", "/usr/lib/os-release"};
    // The kernel release; by default uname()'s release field.
    std::function<std::string()> kernelRelease;
};

// The distribution's name from an os-release text: PRETTY_NAME, else NAME, else "Linux" (the
// default that the os-release format gives NAME). Values may be quoted with " or ' and use
// backslash escapes inside double quotes. Control characters are dropped and the name is cut to
// 200 bytes, since it comes from a file anyone with root rights may have written.
std::string osNameFromRelease(std::string_view osReleaseText);

// The name read from the first readable os-release file ("Linux" when none is).
std::string operatingSystemName(const OsInfoSources& sources = {});

// uname()'s release ("6.1.0-18-amd64"), or "" when uname fails.
std::string kernelRelease();

// The kernel release through the sources' function, or kernelRelease() when it is unset.
std::string kernelRelease(const OsInfoSources& sources);

}  // namespace kx::sys

#pragma once
// Names for the addresses of a crashed process's stack, read with elfutils' libdw from the files
// its memory map names (their symbol tables, and their debug information where it is installed
// on this machine; nothing is fetched from the network).

#include <cstdint>
#include <string>
#include <vector>

namespace kx::crash {

// One line per frame, innermost first: "#N 0xADDRESS function+0xOFFSET (file+0xOFFSET)
// source:line", with what is known of it. `maps` is the process's /proc/self/maps text (only
// regular files it names are opened). Frames are return addresses, except the first when
// `firstIsInstruction` (the faulting instruction of a signal).
std::vector<std::string> symbolizeBacktrace(const std::string& maps,
                                            const std::vector<std::uint64_t>& frames,
                                            bool firstIsInstruction);

}  // namespace kx::crash

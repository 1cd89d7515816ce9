// The PE and ELF version readers on arbitrary bytes: they must never read outside the buffer
// (the sanitizers watch) and any version they report must be a short printable text.

#include <cstdint>
#include <cstdlib>
#include <span>

#include "platform/version/executable_version.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const kx::version::MemoryByteSource source(std::span(data, size));
    for (const auto& version :
         {kx::version::readPeFileVersion(source), kx::version::readElfPackageVersion(source)}) {
        if (version && (version->empty() || version->size() > 64)) {
            std::abort();
        }
    }
    return 0;
}

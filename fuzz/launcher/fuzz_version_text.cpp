// FormatVersion's work on any text: it gives a number, or raises only the errors it documents
// (6 for a part beyond a version resource's range, 13 for text without a dot that is no number).

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "launcher/update/file_versions.h"
#include "platform/runtime/run_time_error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    kx::launcher::VersionParts parts;
    try {
        const double number = kx::launcher::versionNumberOf(text, parts);
        const bool partsInRange = parts.Major >= -32768 && parts.Major <= 65535 &&
                                  parts.Minor >= -32768 && parts.Minor <= 65535 &&
                                  parts.MidRev >= -32768 && parts.MidRev <= 65535 &&
                                  parts.Rev >= -32768 && parts.Rev <= 65535;
        if (std::isnan(number) || !partsInRange) {
            std::abort();
        }
    } catch (const kx::RuntimeError& error) {
        if (error.number() != kx::vberr::kOverflow && error.number() != kx::vberr::kTypeMismatch) {
            std::abort();
        }
    }
    return 0;
}

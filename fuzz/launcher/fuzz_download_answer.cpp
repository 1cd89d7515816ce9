// What a download is continued from: the record of a part read back from TempDir, and the headers
// of the answers (Content-Range, Retry-After, ETag and Last-Modified). The first byte picks which;
// every reading either refuses the text or keeps its promises.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "launcher/update/download_rules.h"
#include "platform/files/download_part.h"

namespace {

bool hasLineBreak(const std::string& text) {
    return text.find_first_of("\r\n") != std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    using namespace kx::launcher;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 4) {
        case 0:
            if (const auto record = kx::files::parsePartRecord(text)) {
                // What was read is written back as it was read.
                if (kx::files::parsePartRecord(kx::files::partRecordText(*record)) != record) {
                    std::abort();
                }
            }
            break;
        case 1:
            if (const auto range = contentRangeOf(text)) {
                if (range->first < 0 || range->first > range->last || range->last >= range->total) {
                    std::abort();
                }
            }
            break;
        case 2:
            if (const auto wait = retryAfterOf(text, 1700000000)) {
                if (wait->count() < 0 ||
                    retryWait(1, std::chrono::seconds(1), wait) > kLongestRetryWait) {
                    std::abort();
                }
            }
            break;
        default: {
            const std::size_t split = text.find('\n');
            const std::string etag = text.substr(0, split);
            const std::string date = split == std::string::npos ? "" : text.substr(split + 1);
            if (hasLineBreak(resumeValidatorOf(etag, date))) {
                std::abort();  // it becomes a request header line
            }
        }
    }
    return 0;
}

// Range and If-Range headers of a download: whatever they say, the answer is the whole file, one
// piece inside it, or nothing with 416.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "server/byte_ranges.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The first two bytes give the file's size; the rest is "Range\nIf-Range".
    if (size < 2) {
        return 0;
    }
    const std::uint64_t fileSize = std::uint64_t{data[0]} << 8 | data[1];
    const std::string_view text(reinterpret_cast<const char*>(data + 2), size - 2);
    const auto newline = text.find('\n');
    const std::string_view range = text.substr(0, newline);
    const std::string_view ifRange =
        newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1);
    const auto answer = kx::server::answerByteRange(range, ifRange, fileSize, "\"abc\"",
                                                    "Sun, 06 Nov 1994 08:49:37 GMT");
    const bool sound = (answer.status == 200 && answer.offset == 0 && answer.length == fileSize) ||
                       (answer.status == 206 && answer.length > 0 && answer.offset < fileSize &&
                        answer.length <= fileSize - answer.offset) ||
                       (answer.status == 416 && answer.length == 0);
    if (!sound) {
        __builtin_trap();
    }
    return 0;
}

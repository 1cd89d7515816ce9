#pragma once
// Which part of an install file a GET answers with, from its Range and If-Range headers. One
// range at most is served: a request for several gets the whole file, so that overlapping ranges
// cannot multiply the traffic. A validator in If-Range that no longer matches the file (a newer
// file was published since) gets the whole file too, never a piece of the newer one.

#include <cstdint>
#include <string_view>

namespace kx::server {

struct ByteRangeAnswer {
    int status = 200;          // 200 whole file, 206 one range, 416 nothing satisfiable
    std::uint64_t offset = 0;  // first byte served
    std::uint64_t length = 0;  // bytes served
};

// `range` and `ifRange` are the header values ("" when absent); `etag` (quoted) and
// `lastModified` (an HTTP date) are the file's validators. A Range header that is malformed or of
// another unit is ignored, as HTTP allows. If-Range matches the ETag exactly (a weak tag never
// matches) or the Last-Modified date exactly.
ByteRangeAnswer answerByteRange(std::string_view range, std::string_view ifRange,
                                std::uint64_t size, std::string_view etag,
                                std::string_view lastModified);

}  // namespace kx::server

#pragma once
// Expansion of one compressed download into a folder, without COM: the logic that the component
// "KXCompression.Expander" wraps, callable on a file path by tools and fuzzers.
//
// Accepted inputs, recognised by their content:
//   - a gzip, xz or zstd stream of one file: the output is the stream's content, whatever it is
//     (a compressed ".zip" or ".gz" stays a zip or gzip file);
//   - a tar archive, plain or inside one gzip, xz or zstd stream, holding exactly one regular file;
//   - a zip archive holding exactly one regular file.
// The output goes to `destinationFolder` + "/" + the input's file name without its ".cmp" ending;
// the name of the archive member is only checked, never used.
//
// Refused, with the reason in ExpandResult::error: an input name without the ".cmp" ending, an
// input that is missing, unreadable or not a regular file, an unknown or damaged format (the
// streams' own checks are verified: gzip CRC-32 and length, xz and zstd checksums), an empty
// archive, an archive whose first entry is not a regular file (folder, link, device, ...) or that
// has more entries, a member path that is absolute or has a ".." part, an output larger than
// `maxExpandedBytes` (the bytes counted as they are written, whatever the headers claim), and a
// destination that is not a writable folder.
//
// The output is written under a temporary name in the destination (an unnamed file where the file
// system supports it), flushed to disk and renamed over any file of the output's name, so that
// name holds either its old content or the whole new output. A refusal leaves nothing behind and
// an existing file of the output's name untouched. The input is never removed. Data passes
// through fixed-size buffers; decoders' memory is bounded (see stream_decoder.h).

#include <cstdint>
#include <string>

namespace kx::compression {

inline constexpr std::uint64_t kDefaultMaxExpandedBytes = 4294967296;  // 4 GiB

struct ExpandRequest {
    std::string inputFile;
    std::string destinationFolder;
    std::uint64_t maxExpandedBytes = kDefaultMaxExpandedBytes;
};

struct ExpandResult {
    bool expanded = false;
    std::string error;       // empty when expanded
    std::string outputFile;  // the written file, when expanded
};

ExpandResult expandFile(const ExpandRequest& request);

}  // namespace kx::compression

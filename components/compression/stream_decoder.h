#pragma once
// Decoders of the single-file compressed streams: gzip (zlib), xz (liblzma) and zstd (libzstd).
//
// Each reads its compressed input from a file descriptor, from the descriptor's current offset,
// through a fixed-size buffer, and hands out the decoded bytes piece by piece. The streams' own
// integrity checks are verified: gzip's CRC-32 and length, xz's check, zstd's content checksum
// (when the frame carries one). Several streams of the same kind one after the other decode as
// one, as the command-line tools do; anything else after a stream is damage.
//
// Memory stays bounded whatever the input: gzip needs its 32 KiB window, an xz stream that needs
// more than kMaxDecoderMemory and a zstd frame whose window is larger than that are refused.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

namespace kx::compression {

inline constexpr std::uint64_t kMaxDecoderMemory = 128 * 1024 * 1024;

enum class Compression { None, Gzip, Xz, Zstd };

// How a stream that starts with `head` is compressed, from the formats' magic numbers; None for
// anything else (including a plain archive).
Compression detectCompression(std::string_view head);

// The longest magic number detectCompression() looks at.
inline constexpr std::size_t kCompressionMagicSize = 6;

class StreamDecoder {
  public:
    virtual ~StreamDecoder() = default;
    // Decodes up to `capacity` (> 0) bytes into `out` and returns how many: 0 only once the
    // stream has ended cleanly (and for every call after that). Raises ExpandError when the input
    // cannot be read, is damaged, ends early or needs more memory than allowed.
    virtual std::size_t read(char* out, std::size_t capacity) = 0;
};

// A decoder of `kind` (not None) reading from `fd`, which must outlive it.
std::unique_ptr<StreamDecoder> makeDecoder(Compression kind, int fd);

}  // namespace kx::compression

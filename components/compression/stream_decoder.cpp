#include "components/compression/stream_decoder.h"

#include <lzma.h>
#include <unistd.h>
#include <zlib.h>
#include <zstd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <span>
#include <vector>

#include "components/compression/expand_error.h"

namespace kx::compression {

namespace {

constexpr std::size_t kInputBufferSize = 64 * 1024;
// The zstd window limit matching kMaxDecoderMemory (2^27 bytes).
constexpr int kMaxZstdWindowLog = 27;
static_assert(std::uint64_t{1} << kMaxZstdWindowLog == kMaxDecoderMemory);

ExpandError damaged(const char* format, const char* detail) {
    return ExpandError(std::string("the ") + format + " stream is damaged (" +
                       (detail != nullptr ? detail : "no detail") + ")");
}

ExpandError endsEarly(const char* format) {
    return ExpandError(std::string("the ") + format + " stream ends early");
}

// The compressed file, read piece by piece into one fixed-size buffer.
class CompressedInput {
  public:
    explicit CompressedInput(int fd) : fd_(fd), buffer_(kInputBufferSize) {}

    // The next piece of the file, empty at its end. The previous piece is no longer valid.
    std::span<std::uint8_t> next() {
        for (;;) {
            const ssize_t got = ::read(fd_, buffer_.data(), buffer_.size());
            if (got >= 0) {
                return {buffer_.data(), static_cast<std::size_t>(got)};
            }
            if (errno != EINTR) {
                throw ExpandError(std::string("the input file cannot be read (") +
                                  std::strerror(errno) + ")");
            }
        }
    }

  private:
    int fd_;
    std::vector<std::uint8_t> buffer_;
};

class GzipDecoder final : public StreamDecoder {
  public:
    explicit GzipDecoder(int fd) : input_(fd) {
        // 16 + window bits: the gzip wrapper, whose CRC-32 and length inflate() verifies.
        if (inflateInit2(&stream_, 16 + MAX_WBITS) != Z_OK) {
            throw ExpandError("the gzip decoder cannot start");
        }
    }
    ~GzipDecoder() override { inflateEnd(&stream_); }

    std::size_t read(char* out, std::size_t capacity) override {
        const auto room = static_cast<uInt>(std::min<std::size_t>(capacity, UINT_MAX));
        stream_.next_out = reinterpret_cast<Bytef*>(out);
        stream_.avail_out = room;
        while (!ended_ && stream_.avail_out == room) {
            const int result = inflate(&stream_, Z_NO_FLUSH);
            if (result == Z_STREAM_END) {
                // What follows in the file must be a further gzip member.
                inMember_ = stream_.avail_in > 0;
                inflateReset(&stream_);
            } else if (result == Z_BUF_ERROR && stream_.avail_in == 0) {
                feed();  // inflate has given out all it can without more input
            } else if (result != Z_OK) {
                throw damaged("gzip", stream_.msg);
            }
        }
        return room - stream_.avail_out;
    }

  private:
    void feed() {
        const auto piece = input_.next();
        if (piece.empty()) {
            if (inMember_) {
                throw endsEarly("gzip");
            }
            ended_ = true;
            return;
        }
        stream_.next_in = piece.data();
        stream_.avail_in = static_cast<uInt>(piece.size());
        inMember_ = true;
    }

    CompressedInput input_;
    z_stream stream_{};
    bool inMember_ = false;  // a member has begun and not yet ended
    bool ended_ = false;
};

class XzDecoder final : public StreamDecoder {
  public:
    explicit XzDecoder(int fd) : input_(fd) {
        if (lzma_stream_decoder(&stream_, kMaxDecoderMemory, LZMA_CONCATENATED) != LZMA_OK) {
            throw ExpandError("the xz decoder cannot start");
        }
    }
    ~XzDecoder() override { lzma_end(&stream_); }

    std::size_t read(char* out, std::size_t capacity) override {
        stream_.next_out = reinterpret_cast<std::uint8_t*>(out);
        stream_.avail_out = capacity;
        while (!ended_ && stream_.avail_out == capacity) {
            if (stream_.avail_in == 0 && !inputEnded_) {
                const auto piece = input_.next();
                stream_.next_in = piece.data();
                stream_.avail_in = piece.size();
                inputEnded_ = piece.empty();
            }
            // LZMA_FINISH tells a concatenated stream that no further stream follows.
            const lzma_ret result = lzma_code(&stream_, inputEnded_ ? LZMA_FINISH : LZMA_RUN);
            if (result == LZMA_STREAM_END) {
                ended_ = true;
            } else if (result != LZMA_OK) {
                throw failure(result);
            }
        }
        return capacity - stream_.avail_out;
    }

  private:
    static ExpandError failure(lzma_ret result) {
        switch (result) {
            case LZMA_BUF_ERROR:
                return endsEarly("xz");
            case LZMA_MEMLIMIT_ERROR:
                return ExpandError("the xz stream needs more than " +
                                   std::to_string(kMaxDecoderMemory >> 20) +
                                   " MiB of memory to decode");
            case LZMA_MEM_ERROR:
                return ExpandError("out of memory while decoding the xz stream");
            case LZMA_FORMAT_ERROR:
                return damaged("xz", "not an xz stream");
            case LZMA_OPTIONS_ERROR:
                return damaged("xz", "unsupported options");
            case LZMA_DATA_ERROR:
                return damaged("xz", "corrupt data");
            default:
                return damaged("xz", ("liblzma error " + std::to_string(result)).c_str());
        }
    }

    CompressedInput input_;
    lzma_stream stream_ = LZMA_STREAM_INIT;
    bool inputEnded_ = false;
    bool ended_ = false;
};

class ZstdDecoder final : public StreamDecoder {
  public:
    explicit ZstdDecoder(int fd) : input_(fd), context_(ZSTD_createDCtx()) {
        if (context_ == nullptr || ZSTD_isError(ZSTD_DCtx_setParameter(
                                       context_, ZSTD_d_windowLogMax, kMaxZstdWindowLog))) {
            ZSTD_freeDCtx(context_);
            throw ExpandError("the zstd decoder cannot start");
        }
    }
    ~ZstdDecoder() override { ZSTD_freeDCtx(context_); }

    std::size_t read(char* out, std::size_t capacity) override {
        ZSTD_outBuffer output{out, capacity, 0};
        while (!ended_ && output.pos == 0) {
            const std::size_t consumedBefore = piece_.pos;
            // With no new input the decoder may still flush what it holds.
            const std::size_t result = ZSTD_decompressStream(context_, &output, &piece_);
            if (ZSTD_isError(result)) {
                throw damaged("zstd", ZSTD_getErrorName(result));
            }
            if (piece_.pos != consumedBefore || output.pos != 0) {
                inFrame_ = result != 0;  // 0: a frame is decoded and flushed to the end
            }
            if (output.pos == 0 && piece_.pos == piece_.size) {
                feed();
            }
        }
        return output.pos;
    }

  private:
    void feed() {
        const auto piece = input_.next();
        if (piece.empty()) {
            if (inFrame_) {
                throw endsEarly("zstd");
            }
            ended_ = true;
        }
        piece_ = {piece.data(), piece.size(), 0};
    }

    CompressedInput input_;
    ZSTD_DCtx* context_;
    ZSTD_inBuffer piece_{nullptr, 0, 0};
    bool inFrame_ = true;
    bool ended_ = false;
};

bool startsWith(std::string_view head, std::string_view magic) {
    return head.substr(0, magic.size()) == magic;
}

}  // namespace

Compression detectCompression(std::string_view head) {
    using namespace std::string_view_literals;
    if (startsWith(head, "\x1F\x8B"sv)) {
        return Compression::Gzip;
    }
    if (startsWith(head,
                   "\xFD"
                   "7zXZ\0"sv)) {
        return Compression::Xz;
    }
    // A zstd frame, or a skippable frame (magic 0x184D2A50 to 0x184D2A5F) that may precede one.
    const bool skippableFrame = head.size() >= 4 && (head[0] & 0xF0) == 0x50 &&
                                startsWith(head.substr(1), "\x2A\x4D\x18"sv);
    if (startsWith(head, "\x28\xB5\x2F\xFD"sv) || skippableFrame) {
        return Compression::Zstd;
    }
    return Compression::None;
}

std::unique_ptr<StreamDecoder> makeDecoder(Compression kind, int fd) {
    switch (kind) {
        case Compression::Gzip:
            return std::make_unique<GzipDecoder>(fd);
        case Compression::Xz:
            return std::make_unique<XzDecoder>(fd);
        case Compression::Zstd:
            return std::make_unique<ZstdDecoder>(fd);
        case Compression::None:
            break;
    }
    throw ExpandError("the input is not compressed");
}

}  // namespace kx::compression

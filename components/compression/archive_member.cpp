#include "components/compression/archive_member.h"

#include <archive_entry.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <utility>

#include "components/compression/expand_error.h"
#include "platform/text/ascii_text.h"

namespace kx::compression {

namespace {

constexpr std::size_t kChunkSize = 64 * 1024;
// Decoded bytes allowed beyond the member's own limit: tar headers, long-name and pax records,
// padding and the end-of-archive blocks.
constexpr std::uint64_t kArchiveOverhead = 16 * 1024 * 1024;
// The error number libarchive gives an unrecognised format (its ARCHIVE_ERRNO_FILE_FORMAT, which
// its public header leaves out): EILSEQ on Linux.
constexpr int kUnknownFormatError = EILSEQ;

constexpr std::size_t kTarBlockSize = 512;

// Whether `data` starts with a tar header block: not all zeros (an end-of-archive block, or a
// file that merely starts with zeros), with the checksum its octal field states. The sum counts
// the field itself as spaces; old tar programs summed signed bytes.
bool startsWithTarHeader(std::string_view data) {
    constexpr std::size_t kChecksumAt = 148;
    constexpr std::size_t kChecksumSize = 8;
    if (data.size() < kTarBlockSize) {
        return false;
    }
    long unsignedSum = 0;
    long signedSum = 0;
    bool allZero = true;
    for (std::size_t i = 0; i < kTarBlockSize; ++i) {
        const bool inField = i >= kChecksumAt && i < kChecksumAt + kChecksumSize;
        const char c = inField ? ' ' : data[i];
        unsignedSum += static_cast<unsigned char>(c);
        signedSum += static_cast<signed char>(c);
        allZero = allZero && data[i] == '\0';
    }
    std::string_view field = data.substr(kChecksumAt, kChecksumSize);
    field.remove_prefix(std::min(field.find_first_not_of(' '), field.size()));
    long stated = 0;
    std::size_t digits = 0;
    for (; digits < field.size() && field[digits] >= '0' && field[digits] <= '7'; ++digits) {
        stated = stated * 8 + (field[digits] - '0');
    }
    return !allZero && digits != 0 && (stated == unsignedSum || stated == signedSum);
}

std::string memberPath(archive_entry* entry) {
    const char* path = archive_entry_pathname(entry);
    if (path == nullptr) {
        path = archive_entry_pathname_utf8(entry);
    }
    return path != nullptr ? path : "";
}

// Whether `path`, taken relative to a folder, stays inside it. Both separators count, since
// archives made on Windows may use "\".
bool staysInside(const std::string& path) {
    const bool rooted = !path.empty() && (path.front() == '/' || path.front() == '\\');
    const bool drive = path.size() >= 2 && path[1] == ':' && ascii::isLetter(path[0]);
    if (rooted || drive) {
        return false;
    }
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = std::min(path.find_first_of("/\\", start), path.size());
        if (path.compare(start, end - start, "..") == 0) {
            return false;
        }
        if (end == path.size()) {
            return true;
        }
        start = end + 1;
    }
}

// What the entry is when it is not a plain regular file; null for a regular file.
const char* irregularKind(archive_entry* entry) {
    if (archive_entry_hardlink(entry) != nullptr) {
        return "a hard link";
    }
    switch (archive_entry_filetype(entry)) {
        case AE_IFREG:
            return nullptr;
        case AE_IFDIR:
            return "a folder";
        case AE_IFLNK:
            return "a symbolic link";
        case AE_IFCHR:
        case AE_IFBLK:
            return "a device";
        case AE_IFIFO:
            return "a FIFO";
        case AE_IFSOCK:
            return "a socket";
        default:
            return "of an unknown kind";
    }
}

}  // namespace

ArchiveMember::ArchiveMember(int fd, StreamDecoder* decoder, std::uint64_t maxMemberBytes)
    : decoder_(decoder), maxMemberBytes_(maxMemberBytes) {
    if (decoder_ != nullptr) {
        chunk_.resize(kChunkSize);
        std::size_t got = 0;
        do {
            got = decode(chunk_.data() + readAheadEnd_, chunk_.size() - readAheadEnd_);
            readAheadEnd_ += got;
        } while (got != 0 && readAheadEnd_ < kTarBlockSize);
        singleFile_ = !startsWithTarHeader(std::string_view(chunk_.data(), readAheadEnd_));
    }
    if (!singleFile_) {
        openArchive(fd);
        moveToMember();
    }
}

ArchiveMember::~ArchiveMember() = default;

std::size_t ArchiveMember::read(char* out, std::size_t capacity) {
    if (singleFile_) {
        return readAheadStart_ != readAheadEnd_ ? takeReadAhead(out, capacity)
                                                : decode(out, capacity);
    }
    const la_ssize_t got = archive_read_data(reader_.get(), out, capacity);
    if (got < 0) {
        failWithArchiveError("the archive is damaged");
    }
    return static_cast<std::size_t>(got);
}

void ArchiveMember::requireEnd() {
    if (singleFile_) {
        return;  // read() gave 0: the decoder has verified the stream to its end
    }
    archive_entry* entry = nullptr;
    const int result = archive_read_next_header(reader_.get(), &entry);
    if (result == ARCHIVE_OK || result == ARCHIVE_WARN) {
        throw ExpandError("the archive holds more than one entry");
    }
    if (result != ARCHIVE_EOF) {
        failWithArchiveError("the archive is damaged");
    }
    // A tar archive ends before its compressed stream does; the stream's check comes last.
    if (decoder_ != nullptr) {
        while (decode(chunk_.data(), chunk_.size()) != 0) {
        }
    }
}

std::size_t ArchiveMember::decode(char* out, std::size_t capacity) {
    const std::size_t got = decoder_->read(out, capacity);
    decoded_ += got;
    const std::uint64_t decodedLimit =
        maxMemberBytes_ > std::numeric_limits<std::uint64_t>::max() - kArchiveOverhead
            ? std::numeric_limits<std::uint64_t>::max()
            : maxMemberBytes_ + kArchiveOverhead;
    if (decoded_ > decodedLimit) {
        throw tooLarge(maxMemberBytes_);
    }
    return got;
}

std::size_t ArchiveMember::takeReadAhead(char* out, std::size_t capacity) {
    const std::size_t count = std::min(capacity, readAheadEnd_ - readAheadStart_);
    std::memcpy(out, chunk_.data() + readAheadStart_, count);
    readAheadStart_ += count;
    return count;
}

// libarchive's read callback over the decoder. Exceptions must not cross libarchive's C code:
// a failure is kept and raised again once libarchive reports the error.
la_ssize_t ArchiveMember::readDecoded(archive* reader, void* self, const void** buffer) {
    auto& member = *static_cast<ArchiveMember*>(self);
    *buffer = member.chunk_.data();
    if (member.readAheadEnd_ != 0) {
        return static_cast<la_ssize_t>(std::exchange(member.readAheadEnd_, 0));
    }
    try {
        return static_cast<la_ssize_t>(member.decode(member.chunk_.data(), member.chunk_.size()));
    } catch (...) {
        member.decoderFailure_ = std::current_exception();
        archive_set_error(reader, EIO, "the decoder failed");
        return -1;
    }
}

void ArchiveMember::openArchive(int fd) {
    reader_.reset(archive_read_new());
    archive* reader = reader_.get();
    if (reader == nullptr) {
        throw ExpandError("out of memory while opening the archive reader");
    }
    archive_read_support_format_tar(reader);
    int result = ARCHIVE_FATAL;
    if (decoder_ != nullptr) {
        result = archive_read_open(reader, this, nullptr, &ArchiveMember::readDecoded, nullptr);
    } else {
        // Streamable: entries are read in order and never through a central directory that
        // would have to be held in memory whole.
        archive_read_support_format_zip_streamable(reader);
        result = archive_read_open_fd(reader, fd, kChunkSize);
    }
    if (result == ARCHIVE_OK) {
        return;
    }
    if (decoderFailure_ == nullptr && archive_errno(reader) == kUnknownFormatError) {
        throw ExpandError(
            "it is not in a known format (a gzip, xz or zstd stream, or a zip or tar archive)");
    }
    failWithArchiveError("it cannot be read");
}

void ArchiveMember::moveToMember() {
    archive_entry* entry = nullptr;
    const int result = archive_read_next_header(reader_.get(), &entry);
    if (result == ARCHIVE_EOF) {
        throw ExpandError("the archive is empty");
    }
    if (result != ARCHIVE_OK && result != ARCHIVE_WARN) {
        failWithArchiveError("the archive is damaged");
    }
    const std::string path = memberPath(entry);
    if (!staysInside(path)) {
        throw ExpandError("the archive member " + quoted(path) +
                          " would leave the destination folder");
    }
    if (const char* kind = irregularKind(entry)) {
        throw ExpandError("the archive member " + quoted(path) + " is " + kind +
                          ", not a regular file");
    }
}

void ArchiveMember::failWithArchiveError(const char* what) {
    if (decoderFailure_ != nullptr) {
        std::rethrow_exception(decoderFailure_);
    }
    const char* detail = archive_error_string(reader_.get());
    throw ExpandError(std::string(what) + " (" + (detail != nullptr ? detail : "no detail") + ")");
}

}  // namespace kx::compression

#include "platform/version/byte_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kx::version {

namespace {

template <typename T>
std::optional<T> readInteger(const ByteSource& source, std::uint64_t offset, Endian endian) {
    std::uint8_t raw[sizeof(T)];
    if (!source.read(offset, raw, sizeof(T))) {
        return std::nullopt;
    }
    T value = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        const std::size_t index = endian == Endian::Little ? sizeof(T) - 1 - i : i;
        value = static_cast<T>((value << 8) | raw[index]);
    }
    return value;
}

}  // namespace

std::optional<std::uint16_t> ByteSource::u16(std::uint64_t offset, Endian endian) const {
    return readInteger<std::uint16_t>(*this, offset, endian);
}

std::optional<std::uint32_t> ByteSource::u32(std::uint64_t offset, Endian endian) const {
    return readInteger<std::uint32_t>(*this, offset, endian);
}

std::optional<std::uint64_t> ByteSource::u64(std::uint64_t offset, Endian endian) const {
    return readInteger<std::uint64_t>(*this, offset, endian);
}

std::optional<std::string> ByteSource::bytes(std::uint64_t offset, std::size_t length) const {
    if (!inRange(offset, length)) {
        return std::nullopt;
    }
    std::string out(length, '\0');
    if (length != 0 && !read(offset, out.data(), length)) {
        return std::nullopt;
    }
    return out;
}

bool MemoryByteSource::read(std::uint64_t offset, void* out, std::size_t length) const {
    if (!inRange(offset, length)) {
        return false;
    }
    if (length != 0) {
        std::memcpy(out, bytes_.data() + offset, length);
    }
    return true;
}

std::unique_ptr<FileByteSource> FileByteSource::open(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return nullptr;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0) {
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<FileByteSource>(
        new FileByteSource(fd, static_cast<std::uint64_t>(info.st_size)));
}

FileByteSource::~FileByteSource() {
    ::close(fd_);
}

bool FileByteSource::read(std::uint64_t offset, void* out, std::size_t length) const {
    if (!inRange(offset, length)) {
        return false;
    }
    auto* cursor = static_cast<char*>(out);
    while (length > 0) {
        const ssize_t got = ::pread(fd_, cursor, length, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;  // an error, or the file shrank since it was opened
        }
        cursor += got;
        offset += static_cast<std::uint64_t>(got);
        length -= static_cast<std::size_t>(got);
    }
    return true;
}

}  // namespace kx::version

#pragma once
// Bounded random access to the bytes of a file or a memory buffer, for the parsers of executable
// files. Every read names its offset and length and fails (nullopt / false) when the range is not
// wholly inside the source, so a parser can never read past what is there.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace kx::version {

enum class Endian : std::uint8_t { Little, Big };

class ByteSource {
  public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t size() const = 0;
    // Copies `length` bytes at `offset` into `out`; false when the range is outside the source
    // or the read fails.
    virtual bool read(std::uint64_t offset, void* out, std::size_t length) const = 0;

    std::optional<std::uint16_t> u16(std::uint64_t offset, Endian endian = Endian::Little) const;
    std::optional<std::uint32_t> u32(std::uint64_t offset, Endian endian = Endian::Little) const;
    std::optional<std::uint64_t> u64(std::uint64_t offset, Endian endian = Endian::Little) const;
    // `length` bytes as a string; nullopt when the range is outside the source.
    std::optional<std::string> bytes(std::uint64_t offset, std::size_t length) const;

  protected:
    bool inRange(std::uint64_t offset, std::size_t length) const {
        return offset <= size() && length <= size() - offset;
    }
};

// Bytes held by the caller; the span must outlive the source.
class MemoryByteSource final : public ByteSource {
  public:
    explicit MemoryByteSource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    std::uint64_t size() const override { return bytes_.size(); }
    bool read(std::uint64_t offset, void* out, std::size_t length) const override;

  private:
    std::span<const std::uint8_t> bytes_;
};

// A regular file opened read-only; reads go to the file as they are asked for.
class FileByteSource final : public ByteSource {
  public:
    // nullptr when the path is missing, not a regular file or cannot be opened. Opening never
    // blocks (a FIFO is refused).
    static std::unique_ptr<FileByteSource> open(const std::string& path);
    ~FileByteSource() override;
    FileByteSource(const FileByteSource&) = delete;
    FileByteSource& operator=(const FileByteSource&) = delete;

    std::uint64_t size() const override { return size_; }
    bool read(std::uint64_t offset, void* out, std::size_t length) const override;

  private:
    FileByteSource(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
    int fd_;
    std::uint64_t size_;
};

}  // namespace kx::version

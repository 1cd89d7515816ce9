// Walks a PE file's headers and resource tree to its version resource. The layout: the DOS header
// points (at 0x3C) to "PE\0\0" and the COFF header; the optional header's data directory 2 gives
// the resource table's RVA; sections map RVAs to file offsets; the resource tree has three levels
// (type, name, language) of 16-byte directories followed by 8-byte entries.

#include <algorithm>
#include <cstdint>
#include <utility>

#include "platform/version/executable_version.h"

namespace kx::version {

namespace {

constexpr std::uint32_t kResourceTypeVersion = 16;
constexpr std::uint32_t kVersionResourceId = 1;
constexpr std::uint32_t kHighBit = 0x80000000u;
constexpr std::uint32_t kFixedInfoSignature = 0xFEEF04BDu;
constexpr std::size_t kFixedInfoSize = 52;
constexpr std::size_t kMaxDirectoryEntries = 4096;

class PeImage {
  public:
    explicit PeImage(const ByteSource& file) : file_(file) {}

    // Reads the headers and section table; false when this is not a well-formed PE file.
    bool load();
    // The file offset of `length` bytes at `rva`, when they lie in one section's file data.
    std::optional<std::uint64_t> fileOffset(std::uint32_t rva, std::uint32_t length) const;
    std::uint32_t resourceRva() const { return resourceRva_; }
    std::uint32_t resourceSize() const { return resourceSize_; }
    const ByteSource& file() const { return file_; }

  private:
    const ByteSource& file_;
    std::uint32_t resourceRva_ = 0;
    std::uint32_t resourceSize_ = 0;
    std::uint64_t sectionTable_ = 0;
    std::uint16_t sectionCount_ = 0;
};

bool PeImage::load() {
    const auto mz = file_.bytes(0, 2);
    const auto peOffset = file_.u32(0x3C);
    if (!mz || *mz != "MZ" || !peOffset) {
        return false;
    }
    const auto signature = file_.bytes(*peOffset, 4);
    if (!signature || *signature != std::string("PE\0\0", 4)) {
        return false;
    }
    const std::uint64_t coff = std::uint64_t{*peOffset} + 4;
    const auto sections = file_.u16(coff + 2);
    const auto optionalSize = file_.u16(coff + 16);
    const std::uint64_t optional = coff + 20;
    const auto magic = file_.u16(optional);
    if (!sections || !optionalSize || !magic) {
        return false;
    }
    // PE32 and PE32+ differ in the width of the fields before the data directories.
    std::uint64_t countField = 0;
    std::uint64_t directories = 0;
    if (*magic == 0x10B) {
        countField = 92;
        directories = 96;
    } else if (*magic == 0x20B) {
        countField = 108;
        directories = 112;
    } else {
        return false;
    }
    const std::uint64_t resourceEntry = directories + 2 * 8;
    const auto directoryCount = file_.u32(optional + countField);
    if (!directoryCount || *directoryCount <= 2 || resourceEntry + 8 > *optionalSize) {
        return false;
    }
    const auto rva = file_.u32(optional + resourceEntry);
    const auto size = file_.u32(optional + resourceEntry + 4);
    if (!rva || !size || *rva == 0 || *size == 0) {
        return false;
    }
    resourceRva_ = *rva;
    resourceSize_ = *size;
    sectionTable_ = optional + *optionalSize;
    sectionCount_ = *sections;
    return true;
}

std::optional<std::uint64_t> PeImage::fileOffset(std::uint32_t rva, std::uint32_t length) const {
    for (std::uint16_t i = 0; i < sectionCount_; ++i) {
        const std::uint64_t entry = sectionTable_ + std::uint64_t{i} * 40;
        const auto virtualSize = file_.u32(entry + 8);
        const auto virtualAddress = file_.u32(entry + 12);
        const auto rawSize = file_.u32(entry + 16);
        const auto rawOffset = file_.u32(entry + 20);
        if (!virtualSize || !virtualAddress || !rawSize || !rawOffset) {
            return std::nullopt;
        }
        const std::uint64_t span = std::max(*virtualSize, *rawSize);
        if (rva < *virtualAddress || rva - *virtualAddress >= span) {
            continue;
        }
        const std::uint64_t delta = rva - *virtualAddress;
        // The bytes must be backed by the file, not by zero-filled virtual space.
        if (delta + length > *rawSize) {
            return std::nullopt;
        }
        const std::uint64_t offset = std::uint64_t{*rawOffset} + delta;
        if (offset > file_.size() || length > file_.size() - offset) {
            return std::nullopt;
        }
        return offset;
    }
    return std::nullopt;
}

// One directory of the resource tree, `offset` bytes from the start of the resource table.
class ResourceDirectory {
  public:
    ResourceDirectory(const PeImage& image, std::uint32_t offset)
        : image_(image), offset_(offset) {}

    // The entry's second word for the first ID entry equal to `id`, or for the first entry at all
    // when `id` is nullopt.
    std::optional<std::uint32_t> find(std::optional<std::uint32_t> id) const;

  private:
    std::optional<std::uint64_t> at(std::uint32_t relative, std::uint32_t length) const {
        if (relative > image_.resourceSize() || length > image_.resourceSize() - relative) {
            return std::nullopt;
        }
        return image_.fileOffset(image_.resourceRva() + relative, length);
    }
    const PeImage& image_;
    std::uint32_t offset_;
};

std::optional<std::uint32_t> ResourceDirectory::find(std::optional<std::uint32_t> id) const {
    const auto header = at(offset_, 16);
    if (!header) {
        return std::nullopt;
    }
    const ByteSource& file = image_.file();
    const auto named = file.u16(*header + 12);
    const auto ids = file.u16(*header + 14);
    if (!named || !ids) {
        return std::nullopt;
    }
    const std::size_t total =
        std::min<std::size_t>(std::size_t{*named} + *ids, kMaxDirectoryEntries);
    for (std::size_t i = 0; i < total; ++i) {
        const auto entry = at(offset_ + 16 + static_cast<std::uint32_t>(i * 8), 8);
        if (!entry) {
            return std::nullopt;
        }
        const auto name = file.u32(*entry);
        const auto target = file.u32(*entry + 4);
        if (!name || !target) {
            return std::nullopt;
        }
        const bool isId = (*name & kHighBit) == 0;
        if (!id || (isId && *name == *id)) {
            return *target;
        }
    }
    return std::nullopt;
}

// Follows one level down: the entry must name a subdirectory.
std::optional<std::uint32_t> subdirectory(std::optional<std::uint32_t> target) {
    if (!target || (*target & kHighBit) == 0) {
        return std::nullopt;
    }
    return *target & ~kHighBit;
}

// The file offset and size of the version resource's data.
std::optional<std::pair<std::uint64_t, std::uint32_t>> versionResource(const PeImage& image) {
    const auto types = subdirectory(ResourceDirectory(image, 0).find(kResourceTypeVersion));
    if (!types) {
        return std::nullopt;
    }
    const ResourceDirectory names(image, *types);
    auto nameTarget = names.find(kVersionResourceId);
    if (!nameTarget) {
        nameTarget = names.find(std::nullopt);
    }
    const auto languages = subdirectory(nameTarget);
    if (!languages) {
        return std::nullopt;
    }
    const auto dataEntry = ResourceDirectory(image, *languages).find(std::nullopt);
    if (!dataEntry || (*dataEntry & kHighBit) != 0 || *dataEntry > image.resourceSize() ||
        image.resourceSize() - *dataEntry < 16) {
        return std::nullopt;
    }
    const auto entryOffset = image.fileOffset(image.resourceRva() + *dataEntry, 16);
    if (!entryOffset) {
        return std::nullopt;
    }
    const auto dataRva = image.file().u32(*entryOffset);
    const auto dataSize = image.file().u32(*entryOffset + 4);
    if (!dataRva || !dataSize) {
        return std::nullopt;
    }
    const auto dataOffset = image.fileOffset(*dataRva, *dataSize);
    if (!dataOffset) {
        return std::nullopt;
    }
    return std::pair{*dataOffset, *dataSize};
}

// The fixed file version inside a VS_VERSION_INFO block of `size` bytes at `offset`.
std::optional<std::string> fixedFileVersion(const ByteSource& file, std::uint64_t offset,
                                            std::uint32_t size) {
    // wLength, wValueLength, wType, then the UTF-16 key "VS_VERSION_INFO" with its NUL; the value
    // follows, aligned to 4 bytes, at offset 40.
    constexpr std::uint32_t kValueOffset = 40;
    const auto key = file.bytes(offset + 6, 32);
    const auto valueLength = file.u16(offset + 2);
    if (size < kValueOffset + kFixedInfoSize || !key || !valueLength ||
        *valueLength < kFixedInfoSize) {
        return std::nullopt;
    }
    static constexpr char kKey[] = "VS_VERSION_INFO";
    for (std::size_t i = 0; i < 16; ++i) {
        if ((*key)[2 * i] != kKey[i] || (*key)[2 * i + 1] != '\0') {
            return std::nullopt;
        }
    }
    const std::uint64_t fixed = offset + kValueOffset;
    const auto signature = file.u32(fixed);
    const auto high = file.u32(fixed + 8);
    const auto low = file.u32(fixed + 12);
    if (!signature || *signature != kFixedInfoSignature || !high || !low) {
        return std::nullopt;
    }
    return std::to_string(*high >> 16) + "." + std::to_string(*high & 0xFFFF) + "." +
           std::to_string(*low >> 16) + "." + std::to_string(*low & 0xFFFF);
}

}  // namespace

std::optional<std::string> readPeFileVersion(const ByteSource& file) {
    PeImage image(file);
    if (!image.load()) {
        return std::nullopt;
    }
    const auto resource = versionResource(image);
    if (!resource) {
        return std::nullopt;
    }
    return fixedFileVersion(file, resource->first, resource->second);
}

}  // namespace kx::version

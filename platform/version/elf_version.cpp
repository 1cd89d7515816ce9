// Finds the package-metadata note in an ELF file. A note is three 32-bit words (name size,
// descriptor size, type) followed by the owner name and the descriptor, each padded to the note
// area's alignment (4, or 8 for areas aligned so).

#include <nlohmann/json.hpp>

#include <cstdint>

#include "platform/version/executable_version.h"

namespace kx::version {

namespace {

constexpr std::uint32_t kPtNote = 4;
constexpr std::uint32_t kShtNote = 7;
constexpr std::uint32_t kPackageNoteType = 0xcafe1a7eu;
constexpr std::uint32_t kMaxDescriptorBytes = 64 * 1024;
constexpr std::size_t kMaxVersionLength = 64;

// Where the header fields sit for one ELF class.
struct ElfLayout {
    bool wide;  // ELFCLASS64
    Endian endian;

    std::uint64_t word(const ByteSource& f, std::uint64_t at, bool& ok) const {
        std::optional<std::uint64_t> v = f.u64(at, endian);
        if (!wide) {
            const auto narrow = f.u32(at, endian);
            v = narrow ? std::optional<std::uint64_t>(*narrow) : std::nullopt;
        }
        ok = ok && v.has_value();
        return v.value_or(0);
    }
    std::uint32_t u32(const ByteSource& f, std::uint64_t at, bool& ok) const {
        const auto v = f.u32(at, endian);
        ok = ok && v.has_value();
        return v.value_or(0);
    }
    std::uint16_t u16(const ByteSource& f, std::uint64_t at, bool& ok) const {
        const auto v = f.u16(at, endian);
        ok = ok && v.has_value();
        return v.value_or(0);
    }
};

// A stretch of the file that holds notes.
struct NoteArea {
    std::uint64_t offset;
    std::uint64_t size;
    std::uint64_t alignment;
};

std::uint64_t alignUp(std::uint64_t value, std::uint64_t alignment) {
    return (value + alignment - 1) / alignment * alignment;
}

// The version from a package-metadata descriptor, when it is a JSON object with a sane version.
std::optional<std::string> versionFromDescriptor(std::string descriptor) {
    if (const auto nul = descriptor.find('\0'); nul != std::string::npos) {
        descriptor.resize(nul);
    }
    const auto json = nlohmann::json::parse(descriptor, nullptr, /*allow_exceptions=*/false);
    if (!json.is_object()) {
        return std::nullopt;
    }
    const auto it = json.find("version");
    if (it == json.end() || !it->is_string()) {
        return std::nullopt;
    }
    const auto& version = it->get_ref<const std::string&>();
    if (version.empty() || version.size() > kMaxVersionLength) {
        return std::nullopt;
    }
    for (const char c : version) {
        if (static_cast<unsigned char>(c) < 0x21 || static_cast<unsigned char>(c) > 0x7E) {
            return std::nullopt;
        }
    }
    return version;
}

std::optional<std::string> scanNotes(const ByteSource& file, const ElfLayout& layout,
                                     const NoteArea& area) {
    if (area.offset > file.size() || area.size > file.size() - area.offset) {
        return std::nullopt;
    }
    const std::uint64_t alignment = area.alignment == 8 ? 8 : 4;
    const std::uint64_t end = area.offset + area.size;
    std::uint64_t at = area.offset;
    while (end - at >= 12) {
        bool ok = true;
        const std::uint32_t nameSize = layout.u32(file, at, ok);
        const std::uint32_t descSize = layout.u32(file, at + 4, ok);
        const std::uint32_t type = layout.u32(file, at + 8, ok);
        const std::uint64_t name = at + 12;
        const std::uint64_t desc = alignUp(name + nameSize, alignment);
        const std::uint64_t next = alignUp(desc + descSize, alignment);
        if (!ok || desc > end || descSize > end - desc) {
            return std::nullopt;
        }
        if (type == kPackageNoteType && nameSize == 4 && descSize <= kMaxDescriptorBytes &&
            file.bytes(name, 4) == std::string("FDO\0", 4)) {
            if (const auto descriptor = file.bytes(desc, descSize)) {
                return versionFromDescriptor(*descriptor);
            }
            return std::nullopt;
        }
        if (next > end) {
            break;
        }
        at = next;
    }
    return std::nullopt;
}

// Tries each entry of a program-header or section-header table that describes notes.
template <typename AreaOf>
std::optional<std::string> scanTable(const ByteSource& file, const ElfLayout& layout,
                                     std::uint64_t table, std::uint16_t count,
                                     std::uint16_t entrySize, std::uint16_t minimumEntrySize,
                                     AreaOf areaOf) {
    if (table == 0 || count == 0 || entrySize < minimumEntrySize) {
        return std::nullopt;
    }
    for (std::uint16_t i = 0; i < count; ++i) {
        const std::uint64_t entry = table + std::uint64_t{i} * entrySize;
        if (entry > file.size()) {
            return std::nullopt;
        }
        const std::optional<NoteArea> area = areaOf(entry);
        if (area) {
            if (auto version = scanNotes(file, layout, *area)) {
                return version;
            }
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> readElfPackageVersion(const ByteSource& file) {
    const auto ident = file.bytes(0, 16);
    if (!ident || ident->compare(0, 4,
                                 "\x7f"
                                 "ELF") != 0) {
        return std::nullopt;
    }
    const char elfClass = (*ident)[4];
    const char data = (*ident)[5];
    if ((elfClass != 1 && elfClass != 2) || (data != 1 && data != 2)) {
        return std::nullopt;
    }
    const ElfLayout layout{elfClass == 2, data == 1 ? Endian::Little : Endian::Big};
    const std::uint64_t w = layout.wide ? 8 : 4;  // width of addresses and offsets

    bool ok = true;
    const std::uint64_t phoff = layout.word(file, 24 + w, ok);
    const std::uint64_t shoff = layout.word(file, 24 + 2 * w, ok);
    const std::uint64_t sizes = 24 + 3 * w + 6;  // after e_flags and e_ehsize
    const std::uint16_t phentsize = layout.u16(file, sizes, ok);
    const std::uint16_t phnum = layout.u16(file, sizes + 2, ok);
    const std::uint16_t shentsize = layout.u16(file, sizes + 4, ok);
    const std::uint16_t shnum = layout.u16(file, sizes + 6, ok);
    if (!ok) {
        return std::nullopt;
    }

    // Program header: p_type, (64-bit: p_flags,) p_offset, ..., p_filesz, ..., p_align.
    const auto segmentNotes = [&](std::uint64_t entry) -> std::optional<NoteArea> {
        bool fine = true;
        if (layout.u32(file, entry, fine) != kPtNote) {
            return std::nullopt;
        }
        const std::uint64_t offset = layout.word(file, entry + (layout.wide ? 8 : 4), fine);
        const std::uint64_t size = layout.word(file, entry + (layout.wide ? 32 : 16), fine);
        const std::uint64_t align = layout.word(file, entry + (layout.wide ? 48 : 28), fine);
        return fine ? std::optional<NoteArea>({offset, size, align}) : std::nullopt;
    };
    // Section header: sh_name, sh_type, sh_flags, sh_addr, sh_offset, sh_size, ..., sh_addralign.
    const auto sectionNotes = [&](std::uint64_t entry) -> std::optional<NoteArea> {
        bool fine = true;
        if (layout.u32(file, entry + 4, fine) != kShtNote) {
            return std::nullopt;
        }
        const std::uint64_t offset = layout.word(file, entry + 8 + 2 * w, fine);
        const std::uint64_t size = layout.word(file, entry + 8 + 3 * w, fine);
        const std::uint64_t align = layout.word(file, entry + 16 + 4 * w, fine);
        return fine ? std::optional<NoteArea>({offset, size, align}) : std::nullopt;
    };

    if (auto version = scanTable(file, layout, phoff, phnum, phentsize,
                                 static_cast<std::uint16_t>(layout.wide ? 56 : 32), segmentNotes)) {
        return version;
    }
    return scanTable(file, layout, shoff, shnum, shentsize,
                     static_cast<std::uint16_t>(layout.wide ? 64 : 40), sectionNotes);
}

}  // namespace kx::version

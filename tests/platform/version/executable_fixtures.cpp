#include "tests/platform/version/executable_fixtures.h"

#include <algorithm>
#include <string_view>

namespace kx::test {

namespace {

// Appends or overwrites integers in a byte buffer in a chosen byte order.
class Bytes {
  public:
    explicit Bytes(bool bigEndian = false) : big_(bigEndian) {}
    std::string& str() { return data_; }
    void put(std::size_t at, std::uint64_t value, std::size_t width) {
        data_.resize(std::max(data_.size(), at + width), '\0');
        for (std::size_t i = 0; i < width; ++i) {
            const std::size_t shift = 8 * (big_ ? width - 1 - i : i);
            data_[at + i] = static_cast<char>((value >> shift) & 0xFF);
        }
    }
    void text(std::size_t at, std::string_view s) {
        data_.resize(std::max(data_.size(), at + s.size()), '\0');
        data_.replace(at, s.size(), s);
    }

  private:
    bool big_;
    std::string data_;
};

constexpr std::size_t kPeHeader = 0x40;
constexpr std::size_t kRsrcFile = 0x200;
constexpr std::uint32_t kRsrcRva = 0x1000;
constexpr std::size_t kVersionInfo = 0x58;  // inside the resource section

}  // namespace

std::size_t peFixedInfoOffset() {
    return kRsrcFile + kVersionInfo + 40;
}

std::string buildPeFile(const PeFixture& f) {
    Bytes b;
    b.text(0, "MZ");
    b.put(0x3C, kPeHeader, 4);
    b.text(kPeHeader, std::string_view("PE\0\0", 4));
    const std::size_t coff = kPeHeader + 4;
    const std::size_t optionalSize = f.wide ? 240 : 224;
    b.put(coff, f.wide ? 0x8664 : 0x14C, 2);
    b.put(coff + 2, 1, 2);  // one section
    b.put(coff + 16, optionalSize, 2);
    const std::size_t optional = coff + 20;
    b.put(optional, f.wide ? 0x20B : 0x10B, 2);
    b.put(optional + (f.wide ? 108 : 92), 16, 4);  // NumberOfRvaAndSizes
    const std::size_t resourceDirectory = optional + (f.wide ? 128 : 112);
    constexpr std::uint32_t kRsrcSize = kVersionInfo + 92;
    b.put(resourceDirectory, kRsrcRva, 4);
    b.put(resourceDirectory + 4, kRsrcSize, 4);

    const std::size_t section = optional + optionalSize;
    b.text(section, ".rsrc");
    b.put(section + 8, kRsrcSize, 4);
    b.put(section + 12, kRsrcRva, 4);
    b.put(section + 16, kRsrcSize, 4);
    b.put(section + 20, kRsrcFile, 4);

    // Three directory levels (type, name, language), each with one ID entry that leads to the next
    // level, the last one to the data entry.
    const std::size_t r = kRsrcFile;
    const std::uint32_t ids[] = {16, 1, 0x409};
    for (std::uint32_t level = 0; level < 3; ++level) {
        const std::size_t directory = r + 0x18 * level;
        b.put(directory + 14, 1, 2);
        b.put(directory + 16, ids[level], 4);
        b.put(directory + 20, level < 2 ? 0x80000000u | (0x18 * (level + 1)) : 0x48, 4);
    }
    b.put(r + 0x48, kRsrcRva + kVersionInfo, 4);
    b.put(r + 0x48 + 4, 92, 4);

    const std::size_t v = r + kVersionInfo;
    b.put(v, 92, 2);
    b.put(v + 2, 52, 2);
    const std::string_view key = "VS_VERSION_INFO";
    for (std::size_t i = 0; i < key.size(); ++i) {
        b.put(v + 6 + 2 * i, static_cast<unsigned char>(key[i]), 2);
    }
    b.put(v + 40, 0xFEEF04BDu, 4);
    b.put(v + 48, (std::uint32_t{f.version[0]} << 16) | f.version[1], 4);
    b.put(v + 52, (std::uint32_t{f.version[2]} << 16) | f.version[3], 4);
    b.put(v + 91, 0, 1);
    return b.str();
}

std::string buildElfFile(const ElfFixture& f) {
    Bytes b(f.bigEndian);
    const std::size_t w = f.wide ? 8 : 4;
    const std::size_t headerSize = f.wide ? 64 : 52;
    const std::size_t tableEntry = f.programHeader ? (f.wide ? 56 : 32) : (f.wide ? 64 : 40);
    const std::size_t notes = headerSize + 2 * tableEntry;

    b.text(0, "\177ELF");
    b.put(4, f.wide ? 2 : 1, 1);
    b.put(5, f.bigEndian ? 2 : 1, 1);
    b.put(6, 1, 1);
    b.put(16, 3, 2);  // shared object
    b.put(24 + (f.programHeader ? w : 2 * w), headerSize, w);
    const std::size_t sizes = 24 + 3 * w + 4;
    b.put(sizes, headerSize, 2);
    b.put(sizes + (f.programHeader ? 2 : 6), tableEntry, 2);
    b.put(sizes + (f.programHeader ? 4 : 8), 2, 2);

    // Notes: a build-id note first, so the reader has to walk past it.
    std::size_t at = notes;
    b.put(at, 4, 4);
    b.put(at + 4, 20, 4);
    b.put(at + 8, 3, 4);
    b.text(at + 12, std::string_view("GNU\0", 4));
    at += 12 + 4 + 20;
    // The descriptor ends with a NUL and is padded to four bytes.
    std::string descriptor = f.packageJson;
    descriptor.resize((descriptor.size() + 4) / 4 * 4, '\0');
    b.put(at, 4, 4);
    b.put(at + 4, descriptor.size(), 4);
    b.put(at + 8, 0xcafe1a7eu, 4);
    b.text(at + 12, std::string_view("FDO\0", 4));
    b.text(at + 16, descriptor);
    const std::size_t notesSize = at + 16 + descriptor.size() - notes;

    // Entry 0 is something else (a PT_LOAD / SHT_PROGBITS); entry 1 describes the notes.
    const std::size_t e0 = headerSize;
    const std::size_t e1 = headerSize + tableEntry;
    if (f.programHeader) {
        b.put(e0, 1, 4);
        b.put(e1, 4, 4);
        b.put(e1 + (f.wide ? 8 : 4), notes, w);
        b.put(e1 + (f.wide ? 32 : 16), notesSize, w);
        b.put(e1 + (f.wide ? 48 : 28), 4, w);
    } else {
        b.put(e0 + 4, 1, 4);
        b.put(e1 + 4, 7, 4);
        b.put(e1 + 8 + 2 * w, notes, w);
        b.put(e1 + 8 + 3 * w, notesSize, w);
        b.put(e1 + 16 + 4 * w, 4, w);
    }
    return b.str();
}

}  // namespace kx::test

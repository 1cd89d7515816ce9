#pragma once
// Builders of small but well-formed executable files for the version readers' tests: a PE file
// whose only resource is a version resource, and an ELF file that carries notes.

#include <array>
#include <cstdint>
#include <string>

namespace kx::test {

struct PeFixture {
    std::array<std::uint16_t, 4> version{1, 2, 3, 4};
    bool wide = false;  // PE32+ instead of PE32
};

// The bytes of a PE file with one ".rsrc" section holding the version resource (type 16, name 1,
// language 0x409) whose fixed file version is `version`.
std::string buildPeFile(const PeFixture& fixture);

// Offset of the VS_FIXEDFILEINFO signature inside buildPeFile's output, for corruption tests.
std::size_t peFixedInfoOffset();

struct ElfFixture {
    bool wide = true;  // ELFCLASS64 instead of ELFCLASS32
    bool bigEndian = false;
    bool programHeader = true;  // describe the notes by a PT_NOTE segment, else by a section
    std::string packageJson = R"({"type":"deb","name":"probe","version":"5.6.7.8"})";
};

// The bytes of an ELF file whose note area holds a GNU build-id note and then the package-metadata
// note with `packageJson`.
std::string buildElfFile(const ElfFixture& fixture);

}  // namespace kx::test

#pragma once
// Version numbers carried inside executable files: the fixed file version of a PE file's version
// resource, and the "version" of an ELF file's package-metadata note. Both readers take untrusted
// bytes: every offset is checked against the source, and any damage reads as "no version".

#include <optional>
#include <string>

#include "platform/version/byte_source.h"

namespace kx::version {

// The file version "a.b.c.d" of a PE file (PE32 or PE32+): the resource of type 16 (version),
// preferably name 1, first language; its VS_VERSION_INFO block's fixed file information gives
// the high and low halves of the most and least significant version words. nullopt when the
// bytes are not a PE file, carry no version resource or any structure is out of bounds.
std::optional<std::string> readPeFileVersion(const ByteSource& file);

// The "version" member of the freedesktop package-metadata note (owner "FDO", type 0xcafe1a7e,
// a NUL-terminated JSON object) of an ELF file, 32 or 64 bits, either byte order. Notes are
// looked for in the PT_NOTE program headers first, then in SHT_NOTE sections (files without
// program headers). nullopt when there is no such note, its JSON does not parse, or the version
// is not a string of 1 to 64 printable characters.
std::optional<std::string> readElfPackageVersion(const ByteSource& file);

}  // namespace kx::version

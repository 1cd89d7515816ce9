#pragma once
// The version of a file on disk, as the old platform's version resources gave it: read from the
// file itself where it carries one (a PE version resource, an ELF package-metadata note), else
// from its ".ver" side file. Shared by the launcher's update decision and the error library's
// audits, so both read every file the same way.

#include <optional>
#include <string>

namespace kx::version {

// The version the file carries inside itself: a PE file's fixed file version "a.b.c.d", else an
// ELF file's package-note version. nullopt for a missing or unreadable file, a file of another
// kind, or one whose structures are damaged.
std::optional<std::string> embeddedFileVersion(const std::string& path);

// The side file of `path`: `path` + ".ver".
std::string sideFilePath(const std::string& path);

// The first line of the side file with every space removed; nullopt when the side file is
// missing, not a regular file or unreadable. Only its first 4 KiB are read.
std::optional<std::string> sideFileVersion(const std::string& path);

// embeddedFileVersion, else sideFileVersion, else "": never fails.
std::string fileVersion(const std::string& path);

}  // namespace kx::version

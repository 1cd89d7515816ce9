#pragma once
// The pieces of an install-list row that the install run works out before it acts: the target
// folder of its InstallLocation token, the path tokens of AltCheck, whether its FileName may be
// used, and its digest. Pure functions over the launcher's directory fields.

#include <optional>
#include <string>

#include "launcher_state.h"

namespace kx::launcher {

struct TargetFolder {
    std::string folder;  // "" for an unknown token
    bool isFont = false;
};

// The folder of an InstallLocation token: the text upper-cased, compared exactly (no trimming)
// with KESTRIXDIR, TEMPDIR, COMMONDIR, BROKERDIR, CLIENTDIR, OSTBROOKDIR, SYSTEMDIR, WINDOWSDIR
// and FONTSDIR (the font folder, which makes the row a font).
TargetFolder targetFolderOf(const std::string& installLocation, const Module1State& state);

// AltCheck with "<SYSTEMDIR>", "<PROGRAMFILES>" and "<WINDOWSDIR>" replaced, wherever they
// occur and in that order, by SystemDir, ProgFilesDir and WindowsDir.
std::string expandAltCheckTokens(const std::string& altCheck, const Module1State& state);

// Whether a FileName from the server names one file in its folder: not empty, not "." or "..",
// without "/", "\" and NUL.
bool isPlainFileName(const std::string& fileName);

// The value of a SHA256 cell: "" for none (an empty cell), the digest in lower case for 64 hex
// digits, nullopt for anything else.
std::optional<std::string> digestOfCell(const std::string& cell);

}  // namespace kx::launcher

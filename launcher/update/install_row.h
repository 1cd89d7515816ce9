#pragma once
// The pieces of an install-list row that the install run works out before it acts: the target
// folder of its InstallLocation token, the path tokens of AltCheck, whether its FileName may be
// used, and its digest. Pure functions over the launcher's directory fields.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "launcher/startup/launcher_state.h"
#include "platform/rowset/recordset.h"

namespace kx::launcher {

// A SequenceID of at least this value marks the start row: the program to start.
inline constexpr double kStartRowSequenceId = 9999;

// One row of the install list, as the run reads it (texts of empty cells read as "").
struct InstallRow {
    std::string fileName;
    bool startRow = false;         // SequenceID 9999 or more
    std::int16_t installType = 0;  // read for other rows only
    std::string fileVersion;       // trimmed
    std::string altCheckRegValue;  // as it stands; the run tests it trimmed
    std::string altCheck;
    std::string description;
    bool compressed = false;  // IsCompressed is not 0 (an empty cell counts as compressed)
    std::string downloadLocation;
    std::string installLocation;
    std::optional<std::string> digest;  // "" for none, nullopt for an unusable SHA256 cell
    std::string patches;                // the Patches cell as it stands; "" without the column
};

// Reads the rows of one install list, finding each column by name once (the list is walked row
// by row, and a lookup by name costs more than the rest of a current row's check). A missing
// column, or a SequenceID or InstallType that is not a number of its range, raises the run-time
// error of reading it when a row is read. The SHA256 and Patches columns are optional.
class InstallRowReader {
  public:
    explicit InstallRowReader(rowset::Recordset& list) : list_(list) {}
    // The current row.
    InstallRow read();

  private:
    const Variant& value(std::size_t column);
    std::string text(std::size_t column);

    rowset::Recordset& list_;
    std::array<std::optional<std::size_t>, 12> ordinals_{};
    std::optional<bool> hasDigestColumn_;
    std::optional<bool> hasPatchesColumn_;
};

// The current row of `list`, read once.
InstallRow readInstallRow(rowset::Recordset& list);

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

// Whether a start row's FileName names a file inside its folder: plain file names joined by "/"
// (a program in a sub-folder of its folder).
bool isPathInsideFolder(const std::string& fileName);

// The value of a SHA256 cell: "" for none (an empty cell), the digest in lower case for 64 hex
// digits, nullopt for anything else.
std::optional<std::string> digestOfCell(const std::string& cell);

}  // namespace kx::launcher

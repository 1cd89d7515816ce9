#pragma once
// The text a signature over one install group's list covers, built alike by the server that signs
// and the launcher that checks, from the rows of the list as a row set holds them:
//
//   kxvantor-install-list
//   group <id>
//   sequence <n>
//   expires <yyyy-mm-ddThh:mm:ssZ>
//   columns FileName SequenceID ... SHA256 [Patches]
//   <one line per row, in the order of the list>
//
// A row's line holds its cells in the order of kSignedColumns, separated by tabs. A cell is the
// text the launcher reads from it (a Null cell reads as an empty one), with "%", tab, CR, LF and
// every other control byte written as "%" and two upper-case hex digits, so that no cell can end
// its line or its neighbour early. Every line ends in LF.
//
// The signature's trusted comment repeats the header, so that minisign shows it:
//   kxvantor-install-list group:<id> sequence:<n> expires:<yyyy-mm-ddThh:mm:ssZ>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/rowset/rowset_data.h"

namespace kx::signing {

// The columns a signature covers, in their order in each line: every column the launcher reads.
// A column added here is covered by every signature made and checked from then on.
inline constexpr std::array<std::string_view, 11> kSignedColumns = {
    "FileName",         "SequenceID",      "InstallType", "FileVersion",
    "AltCheckRegValue", "AltCheck",        "Description", "IsCompressed",
    "DownloadLocation", "InstallLocation", "SHA256"};
// The patches a row offers: covered, after the others, whenever a list has the column. A list
// from a server that offers no patches lacks it and is signed over the others alone; removing the
// column from a list signed with it changes the text, so that its signature no longer matches.
inline constexpr std::string_view kPatchesColumn = "Patches";

struct InstallListHeader {
    std::int64_t group = 0;      // positive
    std::int64_t sequence = 0;   // positive; grows with every signature of the group
    std::int64_t expiresAt = 0;  // seconds since 1970, UTC

    bool operator==(const InstallListHeader&) const = default;
};

std::string trustedCommentOf(const InstallListHeader& header);
// The header a trusted comment spells, exactly in the form above; nullopt for any other text.
std::optional<InstallListHeader> parseTrustedComment(std::string_view comment);

// Builds the lines of the rows of one list, finding each signed column by name once.
class SignedRowLines {
  public:
    // Throws std::invalid_argument naming a signed column that `list` lacks.
    explicit SignedRowLines(const rowset::RowsetData& list);
    // The columns each line holds, in their order: kSignedColumns, then kPatchesColumn when the
    // list has it.
    const std::vector<std::string_view>& columns() const { return columns_; }
    // The line of a row of the list, without its LF. Raises the run-time error of a cell that has
    // no text (an object or an array).
    std::string line(const rowset::Row& row) const;

  private:
    std::vector<std::string_view> columns_;
    std::vector<std::size_t> ordinals_;
};

// The whole text: the header naming `columns`, then `lines` (each given without its LF).
std::string installListText(const InstallListHeader& header,
                            const std::vector<std::string_view>& columns,
                            const std::vector<std::string>& lines);

// The cells of a row's line, unescaped (those of kSignedColumns, and a Patches cell when the line
// has one); nullopt when it is not such a line.
std::optional<std::vector<std::string>> cellsOfLine(std::string_view line);

// The name of a group's signature file, which lies beside the folders of the install files:
// "INSTALL_<group>.minisig".
std::string listSignatureName(std::int64_t group);
// The group such a name names; nullopt for any other name.
std::optional<std::int64_t> groupOfSignatureName(std::string_view name);

// An expiry as the header spells it: "yyyy-mm-ddThh:mm:ssZ" for seconds since 1970.
std::string expiryText(std::int64_t unixSeconds);

}  // namespace kx::signing

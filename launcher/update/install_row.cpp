#include "install_row.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>

#include "rowset_text.h"
#include "vb_convert.h"
#include "vb_strings.h"

namespace kx::launcher {

namespace {

constexpr double kStartRowSequence = 9999;
constexpr const char* kDigestColumn = "SHA256";

bool hasColumn(const rowset::Recordset& list, const char* column) {
    for (const auto& field : list.fieldInfos()) {
        if (UCase(field.name) == column) {
            return true;
        }
    }
    return false;
}

}  // namespace

InstallRow readInstallRow(rowset::Recordset& list) {
    const auto text = [&](const char* column) { return fieldText(list.Fields(column).Value()); };
    InstallRow row;
    row.fileName = text("FileName");
    row.startRow = CDbl(list.Fields("SequenceID").Value()) >= kStartRowSequence;
    if (!row.startRow) {
        row.installType = CInt(list.Fields("InstallType").Value());
    }
    row.fileVersion = Trim(text("FileVersion"));
    row.altCheckRegValue = text("AltCheckRegValue");
    row.altCheck = text("AltCheck");
    row.description = text("Description");
    const Variant compressed = list.Fields("IsCompressed").Value();
    row.compressed = !(IsNumeric(compressed) && CDbl(compressed) == 0);
    row.downloadLocation = text("DownloadLocation");
    row.installLocation = text("InstallLocation");
    row.digest = hasColumn(list, kDigestColumn) ? digestOfCell(Trim(text(kDigestColumn)))
                                                : std::optional<std::string>("");
    return row;
}

TargetFolder targetFolderOf(const std::string& installLocation, const Module1State& state) {
    const std::array<std::pair<const char*, const std::string*>, 9> tokens = {{
        {"KESTRIXDIR", &state.KestrixDir},
        {"TEMPDIR", &state.TempDir},
        {"COMMONDIR", &state.CommonDir},
        {"BROKERDIR", &state.BrokerDir},
        {"CLIENTDIR", &state.ClientDir},
        {"OSTBROOKDIR", &state.OstbrookDir},
        {"SYSTEMDIR", &state.SystemDir},
        {"WINDOWSDIR", &state.WindowsDir},
        {"FONTSDIR", &state.FontsDir},
    }};
    const std::string token = UCase(installLocation);
    for (const auto& [name, folder] : tokens) {
        if (token == name) {
            return {*folder, folder == &state.FontsDir};
        }
    }
    return {};
}

std::string expandAltCheckTokens(const std::string& altCheck, const Module1State& state) {
    std::string path = Replace(altCheck, "<SYSTEMDIR>", state.SystemDir);
    path = Replace(path, "<PROGRAMFILES>", state.ProgFilesDir);
    return Replace(path, "<WINDOWSDIR>", state.WindowsDir);
}

bool isPlainFileName(const std::string& fileName) {
    return !fileName.empty() && fileName != "." && fileName != ".." &&
           fileName.find_first_of(std::string("/\\\0", 3)) == std::string::npos;
}

std::optional<std::string> digestOfCell(const std::string& cell) {
    if (cell.empty()) {
        return std::string();
    }
    if (cell.size() != 64 || !std::all_of(cell.begin(), cell.end(),
                                          [](unsigned char c) { return std::isxdigit(c) != 0; })) {
        return std::nullopt;
    }
    std::string digest = cell;
    std::transform(digest.begin(), digest.end(), digest.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return digest;
}

}  // namespace kx::launcher

#include "launcher/update/install_row.h"

#include <algorithm>
#include <array>
#include <utility>

#include "launcher/update/rowset_text.h"
#include "platform/runtime/number_text.h"
#include "platform/runtime/vb_convert.h"
#include "platform/runtime/vb_strings.h"
#include "platform/text/ascii_text.h"

namespace kx::launcher {

namespace {

// The columns, in the order of InstallRowReader's ordinals; the last two are optional.
enum Column : std::size_t {
    kFileName,
    kSequenceID,
    kInstallType,
    kFileVersion,
    kAltCheckRegValue,
    kAltCheck,
    kDescription,
    kIsCompressed,
    kDownloadLocation,
    kInstallLocation,
    kSHA256,
    kPatches,
};
constexpr const char* kColumnNames[] = {"FileName",        "SequenceID",       "InstallType",
                                        "FileVersion",     "AltCheckRegValue", "AltCheck",
                                        "Description",     "IsCompressed",     "DownloadLocation",
                                        "InstallLocation", "SHA256",           "Patches"};

}  // namespace

const Variant& InstallRowReader::value(std::size_t column) {
    std::optional<std::size_t>& ordinal = ordinals_[column];
    if (!ordinal) {
        // Fields by name raises the error of a missing column.
        ordinal = list_.data().fieldIndex(list_.Fields(kColumnNames[column]).Name());
    }
    return list_.Fields(*ordinal).Value();
}

std::string InstallRowReader::text(std::size_t column) {
    return fieldText(value(column));
}

InstallRow InstallRowReader::read() {
    InstallRow row;
    row.fileName = text(kFileName);
    row.startRow = CDbl(value(kSequenceID)) >= kStartRowSequenceId;
    if (!row.startRow) {
        row.installType = CInt(value(kInstallType));
    }
    row.fileVersion = Trim(text(kFileVersion));
    row.altCheckRegValue = text(kAltCheckRegValue);
    row.altCheck = text(kAltCheck);
    row.description = text(kDescription);
    const Variant& compressed = value(kIsCompressed);
    row.compressed = !(IsNumeric(compressed) && CDbl(compressed) == 0);
    row.downloadLocation = text(kDownloadLocation);
    row.installLocation = text(kInstallLocation);
    if (!hasDigestColumn_) {
        hasDigestColumn_ = list_.data().fieldIndex(kColumnNames[kSHA256]).has_value();
    }
    row.digest = *hasDigestColumn_ ? digestOfCell(Trim(text(kSHA256))) : std::string();
    if (!hasPatchesColumn_) {
        hasPatchesColumn_ = list_.data().fieldIndex(kColumnNames[kPatches]).has_value();
    }
    if (*hasPatchesColumn_) {
        row.patches = text(kPatches);
    }
    return row;
}

InstallRow readInstallRow(rowset::Recordset& list) {
    return InstallRowReader(list).read();
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

bool isPathInsideFolder(const std::string& fileName) {
    std::size_t start = 0;
    for (std::size_t slash = fileName.find('/'); slash != std::string::npos;
         slash = fileName.find('/', start)) {
        if (!isPlainFileName(fileName.substr(start, slash - start))) {
            return false;
        }
        start = slash + 1;
    }
    return isPlainFileName(fileName.substr(start));
}

std::optional<std::string> digestOfCell(const std::string& cell) {
    if (cell.empty()) {
        return std::string();
    }
    if (cell.size() != 64 ||
        !std::all_of(cell.begin(), cell.end(), [](char c) { return hexDigitValue(c) >= 0; })) {
        return std::nullopt;
    }
    return ascii::lowerCase(cell);
}

}  // namespace kx::launcher

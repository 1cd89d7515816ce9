#include "launcher/update/install_list_check.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>

#include "launcher/crash/crash_support.h"
#include "launcher/startup/launcher_state.h"
#include "launcher/update/install_messages.h"
#include "launcher/update/install_row.h"
#include "launcher/update/rowset_text.h"
#include "launcher/update/update_decision.h"
#include "launcher/update/verified_lists.h"
#include "platform/curl/http_status_line.h"
#include "platform/inet/http_get.h"
#include "platform/inet/inet.h"
#include "platform/registry/registry.h"
#include "platform/runtime/debug_log.h"
#include "platform/runtime/message_box.h"
#include "platform/runtime/vb_convert.h"
#include "platform/runtime/vb_strings.h"
#include "platform/signing/install_list_text.h"
#include "platform/signing/minisign.h"

namespace kx::launcher {

namespace {

constexpr const char* kTrustedKeysKey = "SOFTWARE\\Kestrix\\KXVantor\\TrustedUpdateKeys";
constexpr std::size_t kMaxSignatureBytes = 16 * 1024;
constexpr std::int64_t kAllowedClockSkewSeconds = 60 * 60;

// Why a list is not accepted.
class Refusal : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

std::vector<std::string> trustedKeyTexts() {
    registry::HKEY key;
    if (registry::RegOpenKeyEx(registry::Hive::LocalMachine, kTrustedKeysKey,
                               registry::kKeyQueryValue, key) != registry::kErrorSuccess) {
        return {};
    }
    std::vector<std::string> texts;
    for (auto& [name, text] : registry::values(key)) {
        texts.push_back(std::move(text));
    }
    return texts;
}

std::vector<signing::PublicKey> trustedKeys(const std::vector<std::string>& texts) {
    std::vector<signing::PublicKey> keys;
    for (const std::string& text : texts) {
        if (auto key = signing::parsePublicKey(text)) {
            keys.push_back(*key);
        } else {
            debugLog("a trusted update key is not a public key line: \"" + text.substr(0, 80) +
                     "\"");
        }
    }
    if (keys.empty()) {
        throw Refusal("none of the trusted update keys is a public key line");
    }
    return keys;
}

std::vector<std::int64_t> groupsOf(const Variant& installGroupId, const Variant& customGroupId) {
    std::vector<std::int64_t> groups;
    for (const Variant* id : {&installGroupId, &customGroupId}) {
        if (namesInstallGroup(*id) &&
            std::find(groups.begin(), groups.end(), CLngLng(*id)) == groups.end()) {
            groups.push_back(CLngLng(*id));
        }
    }
    return groups;
}

// The rows of one install group of the list, as the group's signature covers them.
struct GroupRows {
    std::int64_t group = 0;
    std::vector<std::string_view> columns;
    std::vector<std::string> lines;
    std::vector<std::string> startRows;
};

struct SplitList {
    std::vector<GroupRows> groups;
    std::string rowWithoutDigest;  // the FileName of the first such row that is not a start row
};

SplitList splitByGroup(const rowset::RowsetData& list, const std::vector<std::int64_t>& groups) {
    const signing::SignedRowLines lines(list);
    const auto groupColumn = list.fieldIndex("InstallGroupID");
    const std::size_t nameColumn = *list.fieldIndex("FileName");
    const std::size_t sequenceColumn = *list.fieldIndex("SequenceID");
    const std::size_t digestColumn = *list.fieldIndex("SHA256");
    if (groups.empty() && !list.rows.empty()) {
        throw Refusal("the deployment names no install group, yet its list has rows");
    }
    if (!groupColumn && groups.size() > 1 && !list.rows.empty()) {
        throw Refusal("the list does not say which install group each row belongs to");
    }
    SplitList split;
    for (const std::int64_t group : groups) {
        split.groups.push_back({group, lines.columns(), {}, {}});
    }
    for (const rowset::Row& row : list.rows) {
        const std::string name = fieldText(row.values[nameColumn]);
        const std::string groupText =
            groupColumn ? fieldText(row.values[*groupColumn]) : std::to_string(groups.at(0));
        const auto owner =
            std::find_if(split.groups.begin(), split.groups.end(),
                         [&](const GroupRows& g) { return std::to_string(g.group) == groupText; });
        if (owner == split.groups.end()) {
            throw Refusal("the row of " + name + " belongs to none of the deployment's groups");
        }
        std::string line = lines.line(row);
        const Variant& sequence = row.values[sequenceColumn];
        if (IsNumeric(sequence) && CDbl(sequence) >= kStartRowSequenceId) {
            owner->startRows.push_back(line);
        } else if (split.rowWithoutDigest.empty() &&
                   digestOfCell(Trim(fieldText(row.values[digestColumn]))).value_or("").empty()) {
            split.rowWithoutDigest = name.empty() ? "(no name)" : name;
        }
        owner->lines.push_back(std::move(line));
    }
    return split;
}

std::string fetchSignature(const std::string& url, const LauncherEnvironment& environment) {
    std::string headers;
    std::string body;
    inet::GetCallbacks callbacks;
    callbacks.headerLine = [&](std::string_view line) {
        // A proxy's answer to CONNECT comes first; the server's own status line counts.
        if (line.starts_with("HTTP/")) {
            headers.clear();
        }
        headers.append(line).append("\r\n");
        return headers.size() <= kMaxSignatureBytes;
    };
    callbacks.body = [&](const char* data, std::size_t size) {
        body.append(data, size);
        return body.size() <= kMaxSignatureBytes;
    };
    callbacks.keepGoing = [] { return true; };
    inet::GetRequest request;
    request.url = url;
    request.caFile = environment.caFile;
    std::string error;
    if (inet::runHttpGet(request, callbacks, error) != 0) {
        throw Refusal(url + " could not be fetched: " +
                      (body.size() > kMaxSignatureBytes ? "it is too large" : error));
    }
    const std::int32_t status = curl::statusCodeOf(headers);
    if (status != 200) {
        throw Refusal(url + " answered with status " + std::to_string(status));
    }
    return body;
}

// Checks one group's signature over its rows; returns what to remember of the list.
VerifiedList checkGroup(const GroupRows& rows, const std::vector<signing::PublicKey>& keys,
                        std::int64_t now, const LauncherEnvironment& environment) {
    const std::string url = Module1().m_DownloadLocation + signing::listSignatureName(rows.group);
    std::string why;
    const auto file = signing::parseSignatureFile(fetchSignature(url, environment), why);
    if (!file) {
        throw Refusal(url + ": " + why);
    }
    const auto key = std::find_if(keys.begin(), keys.end(),
                                  [&](const signing::PublicKey& k) { return k.id == file->keyId; });
    if (key == keys.end()) {
        throw Refusal(url + " is signed by the key " + signing::keyIdText(file->keyId) +
                      ", which this machine does not trust");
    }
    const auto header = signing::parseTrustedComment(file->trustedComment);
    if (!header) {
        throw Refusal(url + ": its trusted comment is not that of an install list");
    }
    why = signing::verifySignature(*key, *file,
                                   signing::installListText(*header, rows.columns, rows.lines));
    if (!why.empty()) {
        throw Refusal(url + ": " + why);
    }
    if (header->group != rows.group) {
        throw Refusal(url + " is the list of install group " + std::to_string(header->group));
    }
    if (now > header->expiresAt + kAllowedClockSkewSeconds) {
        throw Refusal(url + " expired at " + signing::expiryText(header->expiresAt));
    }
    const std::int64_t highest = rememberedList(rows.group).sequence;
    if (header->sequence < highest) {
        throw Refusal(url + " has the sequence " + std::to_string(header->sequence) +
                      ", older than the " + std::to_string(highest) + " accepted before");
    }
    return {header->sequence, rows.startRows};
}

// A list of the rows whose lines are given, every column text (but a Patches cell: start rows
// are never downloaded).
RecordsetPtr listOfLines(const std::vector<std::string>& lines) {
    std::vector<std::vector<std::string>> rows;
    for (const std::string& line : lines) {
        if (auto cells = signing::cellsOfLine(line)) {
            rows.push_back(std::move(*cells));
        }
    }
    auto list = std::make_shared<rowset::Recordset>();
    for (std::size_t column = 0; column < signing::kSignedColumns.size(); ++column) {
        std::size_t width = 1;
        for (const auto& row : rows) {
            width = std::max(width, row[column].size());
        }
        list->appendField(std::string(signing::kSignedColumns[column]),
                          rowset::DataType::adVarWChar, static_cast<std::int64_t>(width));
    }
    list->Open();
    for (const auto& row : rows) {
        list->AddNew();
        for (std::size_t column = 0; column < signing::kSignedColumns.size(); ++column) {
            list->Fields(column).setValue(Variant(row[column]));
        }
        list->Update();
    }
    if (!rows.empty()) {
        list->MoveFirst();
    }
    return list;
}

// Falls back to the remembered start rows; returns the reason.
std::string refuse(const std::string& reason, const std::vector<std::int64_t>& groups) {
    debugLog("install list refused, nothing of it is installed: " + reason);
    MsgBox(kUnverifiedUpdates, vbmsg::kOKOnly + vbmsg::kExclamation, crash::kReportProjectName);
    std::vector<std::string> startRows;
    for (const std::int64_t group : groups) {
        const auto remembered = rememberedList(group).startRows;
        startRows.insert(startRows.end(), remembered.begin(), remembered.end());
    }
    Module1State& m = Module1();
    m.rsInstallList = listOfLines(startRows);
    m.m_SkipUpdateCheck = true;
    return reason;
}

}  // namespace

std::string checkInstallListSignatures(const LauncherEnvironment& environment,
                                       const Variant& installGroupId,
                                       const Variant& customGroupId) {
    const auto keyTexts = trustedKeyTexts();
    if (keyTexts.empty()) {
        return "";
    }
    std::vector<std::int64_t> groups;
    try {
        groups = groupsOf(installGroupId, customGroupId);
        const auto keys = trustedKeys(keyTexts);
        const SplitList split = splitByGroup(requireObject(Module1().rsInstallList).data(), groups);
        const std::int64_t now =
            std::chrono::duration_cast<std::chrono::seconds>(environment.now().time_since_epoch())
                .count();
        std::vector<VerifiedList> accepted;
        for (const GroupRows& rows : split.groups) {
            accepted.push_back(checkGroup(rows, keys, now, environment));
        }
        if (!split.rowWithoutDigest.empty()) {
            throw Refusal("the row of " + split.rowWithoutDigest + " has no SHA-256");
        }
        for (std::size_t i = 0; i < accepted.size(); ++i) {
            rememberList(split.groups[i].group, accepted[i]);
        }
        return "";
    } catch (const Refusal& refusal) {
        return refuse(refusal.what(), groups);
    } catch (const std::exception& error) {
        return refuse(std::string("the list cannot be checked: ") + error.what(), groups);
    }
}

}  // namespace kx::launcher

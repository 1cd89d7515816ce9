#include "launcher/update/verified_lists.h"

#include <charconv>

#include "platform/registry/registry.h"
#include "platform/runtime/debug_log.h"

namespace kx::launcher {

namespace {

using registry::Hive;

std::string keyOf(std::int64_t group) {
    return "SOFTWARE\\Kestrix\\KXVantor\\VerifiedInstallLists\\INSTALL_" + std::to_string(group);
}

VerifiedList readFrom(Hive hive, const std::string& key) {
    VerifiedList list;
    const std::string sequence = registry::queryString(hive, key, "Sequence").value_or("");
    const auto [end, error] =
        std::from_chars(sequence.data(), sequence.data() + sequence.size(), list.sequence);
    if (error != std::errc() || end != sequence.data() + sequence.size() || list.sequence < 0) {
        return {};
    }
    const std::string rows = registry::queryString(hive, key, "StartRows").value_or("");
    for (std::size_t start = 0; start < rows.size();) {
        const std::size_t lineEnd = rows.find('\n', start);
        if (lineEnd == std::string::npos) {
            break;
        }
        list.startRows.push_back(rows.substr(start, lineEnd - start));
        start = lineEnd + 1;
    }
    return list;
}

bool writeTo(Hive hive, const std::string& key, const VerifiedList& list) {
    registry::HKEY handle;
    if (registry::RegCreateKeyEx(hive, key, registry::kKeyWrite, handle) !=
        registry::kErrorSuccess) {
        return false;
    }
    std::string rows;
    for (const std::string& line : list.startRows) {
        rows += line + "\n";
    }
    return registry::setString(handle, "StartRows", rows) == registry::kErrorSuccess &&
           registry::setString(handle, "Sequence", std::to_string(list.sequence)) ==
               registry::kErrorSuccess;
}

}  // namespace

VerifiedList rememberedList(std::int64_t group) {
    const std::string key = keyOf(group);
    VerifiedList machine = readFrom(Hive::LocalMachine, key);
    VerifiedList user = readFrom(Hive::CurrentUser, key);
    return user.sequence > machine.sequence ? user : machine;
}

void rememberList(std::int64_t group, const VerifiedList& list) {
    if (rememberedList(group) == list) {
        return;
    }
    const std::string key = keyOf(group);
    if (!writeTo(Hive::LocalMachine, key, list) && !writeTo(Hive::CurrentUser, key, list)) {
        debugLog("the accepted install list of " + key + " could not be remembered");
    }
}

}  // namespace kx::launcher

// An install list from the server, row by row as the install run reads it: every row either reads
// or raises a run-time error, and what the run then acts on keeps its promises (a plain file name
// has no folder part, a digest is 64 lower-case hex digits, a target lies in its folder).

#include <cstdint>
#include <cstdlib>
#include <string>

#include "launcher/startup/launcher_state.h"
#include "launcher/update/install_row.h"
#include "platform/rowset/recordset.h"
#include "platform/runtime/run_time_error.h"

namespace {

bool isLowerHex(const std::string& text) {
    return text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

void checkRow(const kx::launcher::InstallRow& row, const kx::launcher::Module1State& folders) {
    using namespace kx::launcher;
    if (isPlainFileName(row.fileName) && row.fileName.find_first_of("/\\") != std::string::npos) {
        std::abort();
    }
    if (row.digest && !row.digest->empty() &&
        (row.digest->size() != 64 || !isLowerHex(*row.digest))) {
        std::abort();
    }
    const TargetFolder target = targetFolderOf(row.installLocation, folders);
    if (!target.folder.empty() && target.folder.front() != '/') {
        std::abort();
    }
    expandAltCheckTokens(row.altCheck, folders);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const kx::launcher::Module1State folders = [] {
        kx::launcher::Module1State s;
        s.KestrixDir = "/k";
        s.TempDir = "/k/Temp";
        s.CommonDir = s.BrokerDir = s.ClientDir = "/k/BROKER/D";
        s.SystemDir = "/s";
        s.WindowsDir = "/w";
        s.FontsDir = "/w/Fonts";
        return s;
    }();
    kx::rowset::Recordset list;
    try {
        list.OpenXml(std::string_view(reinterpret_cast<const char*>(data), size));
    } catch (const kx::RuntimeError&) {
        return 0;
    }
    for (; !list.isEOF(); list.MoveNext()) {
        try {
            checkRow(kx::launcher::readInstallRow(list), folders);
        } catch (const kx::RuntimeError&) {
        }
    }
    return 0;
}

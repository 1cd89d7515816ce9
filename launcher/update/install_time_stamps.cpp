#include "launcher/update/install_time_stamps.h"

#include <fstream>

#include "launcher/crash/trap.h"
#include "launcher/startup/launcher_state.h"
#include "platform/runtime/run_time_error.h"
#include "platform/runtime/vb_date.h"
#include "platform/runtime/vb_strings.h"
#include "platform/text/path_text.h"

namespace kx::launcher {

using crash::Frame;
using crash::trapped;

namespace {

constexpr const char* kModule = "frmLogin";

std::string readFirstLine(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        raiseError(vberr::kFileNotFound, "frmLogin", "File not found: " + path);
    }
    std::string head(kMaxStampFileBytes, '\0');
    file.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(file.gcount()));
    return head.substr(0, head.find_first_of("\r\n"));
}

void writeStampLine(const std::string& groupName, const std::string& stamp) {
    const std::string path = installTimeStampPath(groupName);
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << stamp << "\r\n";
    file.close();
    if (!file) {
        raiseError(vberr::kPathFileAccessError, "frmLogin", "Path/File access error: " + path);
    }
}

// One group's stamp, written with errors ignored as the install run's last step demands.
void writeGroupStamp(const std::string& groupName, const std::string& serverStamp) {
    if (!groupName.empty() && IsDate(Variant(serverStamp))) {
        resumeNext([&] { writeStampLine(groupName, serverStamp); });
        Err().Clear();
    }
}

}  // namespace

std::string installTimeStampPath(const std::string& installGroupName) {
    const bool plainName =
        !installGroupName.empty() && installGroupName != "." && installGroupName != ".." &&
        installGroupName.find_first_of(std::string("/\0", 2)) == std::string::npos;
    if (!plainName) {
        raiseError(vberr::kBadFileNameOrNumber, "frmLogin", "Bad file name or number");
    }
    return joinPath(Module1().CommonDir, installGroupName + ".txt");
}

std::string GetClientLastUpdate(const std::string& mInstallGrpName) {
    std::string firstLine;
    Frame frame(kModule, "GetClientLastUpdate");
    frame.local("firstLine", firstLine).param("mInstallGrpName", mInstallGrpName);
    return trapped(frame, [&] {
        frame.line(10);
        resumeNext([&] { firstLine = readFirstLine(installTimeStampPath(mInstallGrpName)); });
        frame.line(20);
        Err().Clear();
        frame.line(30);
        return Trim(firstLine);
    });
}

void WriteInstallTimeStamp() {
    Frame frame(kModule, "WriteInstallTimeStamp");
    trapped(frame, [&] {
        const Module1State& m = Module1();
        frame.line(10);
        writeGroupStamp(m.m_InstallGroupName, m.m_ServerLastUpdate);
        frame.line(20);
        writeGroupStamp(m.m_CustomInstallGroupName, m.m_CustomServerLastUpdate);
    });
}

}  // namespace kx::launcher

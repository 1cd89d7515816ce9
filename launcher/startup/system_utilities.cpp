#include "launcher/startup/system_utilities.h"

#include <fcntl.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "launcher/crash/trap.h"
#include "launcher/startup/command_line.h"
#include "launcher/startup/folder_names.h"
#include "launcher/startup/launcher_state.h"
#include "platform/runtime/message_box.h"
#include "platform/runtime/run_time_error.h"
#include "platform/shell/spawn_program.h"

namespace kx::launcher {

namespace {

// The old address table held at most this many entries in its fixed buffer.
constexpr std::size_t kMaxAddressTableEntries = 21;
// The status of a table that does not fit (ERROR_INSUFFICIENT_BUFFER).
constexpr std::int32_t kInsufficientBuffer = 122;

std::string dottedText(const Ipv4Address& address) {
    std::string text;
    for (const std::uint8_t part : address) {
        text += (text.empty() ? "" : ".") + std::to_string(part);
    }
    return text;
}

// Makes the probe folder, or takes over one that a failed run left behind. Anything else of that
// name (a file, a link) is replaced, so that the probe never writes through a link.
bool prepareProbeFolder(const std::string& folder) {
    if (::mkdir(folder.c_str(), 0777) == 0) {
        return true;
    }
    if (errno != EEXIST) {
        return false;
    }
    struct stat existing {};
    if (::lstat(folder.c_str(), &existing) != 0) {
        return false;
    }
    if (S_ISDIR(existing.st_mode)) {
        return true;
    }
    return ::unlink(folder.c_str()) == 0 && ::mkdir(folder.c_str(), 0777) == 0;
}

}  // namespace

std::string ConvertToShortPath(const std::string& PathName) {
    std::string result;
    crash::Frame frame("Module1", "ConvertToShortPath");
    frame.local("ConvertToShortPath", result).param("PathName", PathName);
    return trapped(frame, [&] {
        frame.line(10);
        struct stat info {};
        if (!PathName.empty() && PathName.find('\0') == std::string::npos &&
            ::stat(PathName.c_str(), &info) == 0) {
            result = PathName;
        }
        return result;
    });
}

int posixSpawnProgram(pid_t* pid, const std::string& program,
                      const std::vector<std::string>& argv) {
    return crash::platformCall(
        [&] { return shell::spawnProgram({.program = program, .argv = argv}, *pid); });
}

std::int32_t ExecCmd(const std::string& cmdline, const SpawnFunction& spawn) {
    std::int32_t ret = -1;
    pid_t pid = 0;
    crash::Frame frame("Module1", "ExecCmd");
    frame.record("proc", "PROCESS_INFORMATION")
        .record("start", "STARTUPINFO")
        .local("ret", ret)
        .param("cmdline", cmdline);
    return trapped(frame, [&] {
        frame.line(10);
        const std::optional<ResolvedCommand> command = resolveCommandLine(cmdline);
        if (!command || cmdline.find('\0') != std::string::npos) {
            return ret;
        }
        frame.line(20);
        if (spawn(&pid, command->program, command->argv) != 0) {
            return ret;
        }
        frame.line(30);
        ret = shell::waitForExit(pid);
        return ret;
    });
}

Ipv4Table listInterfaceAddresses() {
    Ipv4Table table;
    ifaddrs* interfaces = nullptr;
    if (::getifaddrs(&interfaces) != 0) {
        table.status = errno;
        return table;
    }
    for (const ifaddrs* entry = interfaces; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) {
            continue;
        }
        sockaddr_in address{};
        std::memcpy(&address, entry->ifa_addr, sizeof address);
        Ipv4Address bytes{};
        std::memcpy(bytes.data(), &address.sin_addr.s_addr, bytes.size());  // network order
        table.addresses.push_back(bytes);
    }
    ::freeifaddrs(interfaces);
    return table;
}

std::string GetIpAddrTable(const Ipv4Lister& list) {
    std::string result;
    std::int32_t status = 0;
    crash::Frame frame("Module1", "GetIpAddrTable");
    frame.local("GetIpAddrTable", result).local("ret", status);
    return trapped(frame, [&] {
        frame.line(10);
        Ipv4Table table = list();
        status = table.status;
        if (status == 0 && table.addresses.size() > kMaxAddressTableEntries) {
            status = kInsufficientBuffer;
        }
        frame.line(20);
        if (status != 0) {
            // Raised and dropped: the table counts as empty.
            resumeNext([&] {
                raiseError(vberr::kApplicationDefined, "GetIpAddrTable",
                           "GetIpAddrTable failed with return value " + std::to_string(status));
            });
            Err().Clear();
            return result;
        }
        frame.line(30);
        // Byte-wise order of network-order addresses is the order of their values.
        std::sort(table.addresses.begin(), table.addresses.end());
        if (!table.addresses.empty()) {
            result = dottedText(table.addresses.back());
        }
        return result;
    });
}

bool CheckAdminRights() {
    bool result = false;
    std::string probeFolder;
    std::string probeFile;
    crash::Frame frame("Module1", "CheckAdminRights");
    frame.local("CheckAdminRights", result)
        .local("probeFolder", probeFolder)
        .local("probeFile", probeFile);
    return trapped(frame, [&] {
        frame.line(10);
        if (Module1().retCheckForUpdates != vbmsg::kYes) {
            result = true;
            return result;
        }
        frame.line(20);
        probeFolder = joinPath(Module1().CommonDir, "KXTest");
        probeFile = joinPath(probeFolder, "KXTest.dat");
        if (!prepareProbeFolder(probeFolder)) {
            return result;
        }
        frame.line(30);
        const int file =
            ::open(probeFile.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (file < 0) {
            return result;
        }
        ::close(file);
        frame.line(40);
        const bool deleted = ::unlink(probeFile.c_str()) == 0;
        const bool removed = ::rmdir(probeFolder.c_str()) == 0;
        result = deleted && removed;
        return result;
    });
}

std::string SysErrorMessage(std::int32_t ResultCode) {
    std::string text;
    crash::Frame frame("Module1", "SysErrorMessage");
    frame.local("SysErrorMessage", text).param("ResultCode", ResultCode);
    return trapped(frame, [&] {
        frame.line(10);
        switch (ResultCode) {
            case 2:
                text = "File Not Found";
                break;
            case 3:
                text = "Path Not Found";
                break;
            case 5:
                text = "Access Denied";
                break;
            case 8:
                text = "Not Enough Memory";
                break;
            case 11:
                text = "Bad Format";
                break;
            case 26:
                text = "Sharing Violation";
                break;
            case 27:
                text = "Filename Association Incomplete or Invalid";
                break;
            case 28:
                text = "DDE Request Timeout";
                break;
            case 29:
                text = "DDE Transaction Failed";
                break;
            case 30:
                text = "DDE Busy";
                break;
            case 31:
                text = "No Application Associated With The Given Filename Extension";
                break;
            case 32:
                text = "DLL Not Found";
                break;
            default:
                text = "(Unknown Error Code)";
                break;
        }
        frame.line(20);
        text = std::to_string(ResultCode) + " : " + text;
        return text;
    });
}

}  // namespace kx::launcher

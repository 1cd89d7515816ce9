// crash_bench: the time from abort() to its crash report stored by kxserver, without a display
// (the error library's report without a window), against a kxserver on loopback that this
// program starts from its own folder, with the error library registered in a registry of its own.
//
//   crash_bench [RUNS]     (5 runs by default)
//
// Each run starts this program again as a crashing launcher: it prepares the crash capture as
// the launcher does, writes the time and calls abort(). The time ends when that process (by then
// the reporting process) has ended, which it does once the server has answered that the report
// is stored; the server's list then must hold one report more.

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "launcher/crash/crash_capture.h"
#include "launcher/crash/crash_report.h"
#include "tests/support/child_program.h"
#include "tests/support/server_process.h"

namespace {

namespace fs = std::filesystem;
using kx::test::exitCodeOf;
using kx::test::readAll;
using kx::test::startReadingOutput;

std::int64_t monotonicNanos() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

[[noreturn]] void crashLikeTheLauncher(int argc, char** argv) {
    kx::crash::prepareCrashCapture(argc, argv);
    std::printf("%lld\n", static_cast<long long>(monotonicNanos()));
    std::fflush(stdout);
    std::abort();
}

// Runs a program of this folder to its end; its standard output.
std::string run(const fs::path& bin, std::vector<std::string> command) {
    command.front() = (bin / command.front()).string();
    pid_t pid = -1;
    const std::string output = readAll(startReadingOutput(command, "", pid), false);
    if (exitCodeOf(pid) != 0) {
        std::cerr << "crash_bench: " << command.front() << " failed\n";
        std::exit(2);
    }
    return output;
}

std::size_t storedReports(const fs::path& bin, const fs::path& catalog) {
    const std::string list = run(bin, {"kxserver", "reports", catalog.string()});
    return static_cast<std::size_t>(std::count(list.begin(), list.end(), '\n'));
}

// One crash; the milliseconds from abort() to the reporting process's end, or -1 when it did not
// end as a report does (exit code 1).
double timeOneCrash() {
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    pid_t pid = -1;
    // Read to the end: the reporting process keeps the output open until it ends.
    const std::string aborted =
        readAll(startReadingOutput({self, "crash"}, "crash.log", pid), false);
    const std::int64_t ended = monotonicNanos();
    const int code = exitCodeOf(pid);
    if (code != 1 || aborted.empty()) {
        return -1;
    }
    return static_cast<double>(ended - std::stoll(aborted)) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    if (kx::crash::isCrashReportRun(argc, argv)) {
        return kx::crash::reportRecordedCrash(argc, argv);
    }
    if (argc > 1 && std::string(argv[1]) == "crash") {
        crashLikeTheLauncher(argc, argv);
    }
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const fs::path bin = fs::read_symlink("/proc/self/exe").parent_path();
    const fs::path folder = fs::temp_directory_path() / ("crash_bench." + std::to_string(getpid()));
    fs::create_directories(folder);
    fs::current_path(folder);  // the error log goes here
    for (const char* name : {"KX_MACHINE_REGISTRY", "KX_USER_REGISTRY"}) {
        setenv(name, (folder / (std::string(name) + ".db")).c_str(), 1);
    }
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        unsetenv(name);  // the report without a window
    }
    run(bin, {"kxserver", "init", "catalog", "--password-memory", "8", "--password-passes", "1"});
    run(bin, {"regsvr32", "/s", (bin / "ZNErrHandler.so").string()});
    std::vector<double> times;
    {
        const kx::test::ServerProcess server((bin / "kxserver").string(), folder / "catalog", 0);
        setenv("KX_ERROR_REPORT_URL", (server.url() + "/GenErrorReport.asp").c_str(), 1);
        for (int i = 0; i < runs; ++i) {
            const double milliseconds = timeOneCrash();
            if (milliseconds < 0 || storedReports(bin, folder / "catalog") != times.size() + 1) {
                std::cerr << "crash_bench: run " << i + 1 << " stored no report; see "
                          << (folder / "crash.log") << "\n";
                return 1;
            }
            times.push_back(milliseconds);
        }
    }
    fs::current_path(bin);
    fs::remove_all(folder);
    std::sort(times.begin(), times.end());
    std::printf(
        "abort() to crash report stored, headless, %d runs: median %.0f ms, min %.0f ms, "
        "max %.0f ms\n",
        runs, times[times.size() / 2], times.front(), times.back());
    return 0;
}

// Measures the time from the launcher's start to the first paint of its window, with 30 error
// reports waiting in the spool and the report server down, beside an empty spool: the reports are
// sent in the background and must not delay the window. Not a test.
//
//   start_bench [ROUNDS]   (10 by default)
//
// Each round starts this program anew (exec, so loading counts) as the launcher: the real Main on
// the offscreen platform, with the error library registered in a registry of its own and its
// report address on a port where nothing listens, and the data root, the spool and the machine's
// folders in a temporary folder. The two cases alternate. The launcher writes the time of its
// first paint into a pipe and ends half a second later, while its reports are being sent.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "errhandler/http/url_encode.h"
#include "errhandler/report/report_spool.h"
#include "launcher/app/after_first_paint.h"
#include "launcher/app/launcher_main.h"
#include "launcher/app/launcher_run.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kLauncherOption = "--as-launcher";
constexpr int kSpooledReports = 30;
constexpr std::size_t kReportBytes = 40 << 10;  // a report with a good variable dump

double monotonicMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}

// The launcher's side: writes the time of the first paint to `fd`, then ends a little later.
int runAsLauncher(int argc, char** argv, int fd) {
    static int pipeFd = fd;
    qAddPreRoutine([] {
        new kx::launcher::qt::AfterFirstPaint(QCoreApplication::instance(), [] {
            const double painted = monotonicMilliseconds();
            [[maybe_unused]] const ssize_t written = write(pipeFd, &painted, sizeof painted);
            QTimer::singleShot(500, [] { _exit(0); });
        });
    });
    const kx::launcher::LauncherEnvironment environment =
        kx::launcher::LauncherEnvironment::ofThisProcess();
    return kx::launcher::runLauncher(argc, argv,
                                     [&environment] { kx::launcher::Main(environment); });
}

// One start of this program as the launcher; the milliseconds from the start to the first paint.
double timeOneStart(const std::string& self) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        return -1;
    }
    const double started = monotonicMilliseconds();
    const pid_t child = fork();
    if (child == 0) {
        fcntl(fds[1], F_SETFD, 0);  // the launcher keeps the write end
        const std::string fd = std::to_string(fds[1]);
        execl(self.c_str(), self.c_str(), kLauncherOption, fd.c_str(), "USEPROFILE", nullptr);
        _exit(127);
    }
    close(fds[1]);
    double painted = -1;
    const bool got = read(fds[0], &painted, sizeof painted) == sizeof painted;
    close(fds[0]);
    waitpid(child, nullptr, 0);
    return got ? painted - started : -1;
}

void fillSpool(kx::errhandler::ReportSpool& spool) {
    const std::int64_t now = kx::errhandler::secondsNow();
    for (int i = 0; i < kSpooledReports; ++i) {
        kx::errhandler::ReportIdentity identity = kx::errhandler::ReportIdentity::fresh();
        identity.createdAt = now - 3600 + i;
        const std::string body = "Context=" + std::string(kReportBytes, 'x') +
                                 "&ReportId=" + kx::errhandler::URLEncode(identity.id);
        spool.add(identity, body, now);
    }
}

// Marks every report as tried an hour ago, so that all are due at the next start.
void makeAllDue(kx::errhandler::ReportSpool& spool) {
    const std::int64_t now = kx::errhandler::secondsNow();
    for (const auto& entry : spool.prunedEntries(now)) {
        spool.lock(entry).value().keep(now - 3600);
    }
}

std::uint16_t unusedPort() {
    const int probe = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    close(probe);
    return ntohs(address.sin_port);
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 2 && std::strcmp(argv[1], kLauncherOption) == 0) {
        return runAsLauncher(argc, argv, std::atoi(argv[2]));
    }
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    const fs::path self = fs::read_symlink("/proc/self/exe");
    const fs::path bin = self.parent_path();
    const fs::path work = fs::temp_directory_path() / ("start_bench." + std::to_string(getpid()));
    fs::create_directories(work);
    for (const char* folder :
         {"KX_SYSTEM_DIR", "KX_WINDOWS_DIR", "KX_COMMON_FILES_DIR", "KX_TOKEN_DIR", "XDG_DATA_HOME",
          "XDG_STATE_HOME", "XDG_RUNTIME_DIR", "TMPDIR"}) {
        fs::create_directories(work / folder);
        fs::permissions(work / folder, fs::perms::owner_all, fs::perm_options::replace);
        setenv(folder, (work / folder).c_str(), 1);
    }
    setenv("KX_MACHINE_REGISTRY", (work / "machine.db").c_str(), 1);
    setenv("KX_USER_REGISTRY", (work / "user.db").c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // A port that was free a moment ago: connections are refused, as by a server that is down.
    const std::string url =
        "http://127.0.0.1:" + std::to_string(unusedPort()) + "/GenErrorReport.asp";
    setenv("KX_ERROR_REPORT_URL", url.c_str(), 1);
    const std::string registration =
        (bin / "regsvr32").string() + " /s " + (bin / "ZNErrHandler.so").string();
    if (std::system(registration.c_str()) != 0) {
        std::cerr << "start_bench: the error library could not be registered\n";
        return 1;
    }
    // The reports are written once, then moved aside for the starts with an empty spool, so
    // that no writing and flushing of files stands between the cases.
    const fs::path folder = work / "XDG_STATE_HOME/Kestrix/ZNErrHandler/reports";
    const fs::path aside = work / "reports-aside";
    kx::errhandler::ReportSpool spool(folder.string());
    fillSpool(spool);
    std::vector<double> empty;
    std::vector<double> waiting;
    int tried = 0;  // starts that did try to send a spooled report, as they should
    for (int round = 0; round < rounds; ++round) {
        fs::rename(folder, aside);
        empty.push_back(timeOneStart(self));
        fs::rename(aside, folder);
        makeAllDue(spool);
        const std::int64_t before = kx::errhandler::secondsNow();
        waiting.push_back(timeOneStart(self));
        const auto left = spool.prunedEntries(before);
        tried += left.size() == kSpooledReports &&
                 std::any_of(left.begin(), left.end(),
                             [&](const auto& entry) { return entry.lastAttempt >= before; });
    }
    fs::remove_all(work);
    if (tried != rounds) {
        std::cerr << "start_bench: " << rounds - tried
                  << " start(s) did not try to send the spooled reports\n";
        return 1;
    }
    if (std::min(*std::min_element(empty.begin(), empty.end()),
                 *std::min_element(waiting.begin(), waiting.end())) < 0) {
        std::cerr << "start_bench: a start did not paint its window\n";
        return 1;
    }
    const double emptyMedian = median(empty);
    const double waitingMedian = median(waiting);
    std::printf(
        "Launcher start to its window's first paint, %d starts each (median, fastest):\n"
        "  empty spool: %.0f ms, %.0f ms\n"
        "  %d reports spooled, report server down: %.0f ms, %.0f ms\n"
        "  ratio of the medians %.2f (target at most 1.1)\n",
        rounds, emptyMedian, *std::min_element(empty.begin(), empty.end()), kSpooledReports,
        waitingMedian, *std::min_element(waiting.begin(), waiting.end()),
        waitingMedian / emptyMedian);
    return 0;
}

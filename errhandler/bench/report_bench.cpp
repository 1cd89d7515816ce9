// report_bench: the time from an ErrorHandler call to its report stored by kxserver, with a
// context of 1 MiB, on the offscreen platform against a kxserver on loopback that this program
// starts from its own folder.
//
//   report_bench [RUNS]     (5 runs by default)
//
// Each run calls ErrorHandler with the real dialog; the time ends when the dialog enables Close
// after "Transfer of data complete." (the server answers only once the report is stored), and the
// dialog is then closed by its window's own close command so that the next run can start.

#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "errhandler/report/error_class.h"
#include "errhandler/report/qt/error_presenter.h"
#include "errhandler/report/report_texts.h"
#include "tests/support/child_program.h"
#include "tests/support/server_process.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kContextBytes = std::size_t{1} << 20;

// A variable dump of about 1 MiB: the lines of a large array, as the crash capture renders them.
std::string largeContext() {
    std::string context = "<Variables>\r\n<mPassword>secret</mPassword>\r\n";
    for (int i = 0; context.size() < kContextBytes; ++i) {
        context += "  <rsInstallList Index=\"" + std::to_string(i) +
                   "\">InstallFilesOfTheDeploymentBrokerClient</rsInstallList>\r\n";
    }
    context.resize(kContextBytes);
    return context;
}

// One ErrorHandler call; the milliseconds until its report was stored, or -1 when it was not.
double timeOneReport(kx::errhandler::Error& error, const std::string& context) {
    Clock::time_point stored{};
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            auto* close = window->findChild<QPushButton*>(QStringLiteral("cmdOK"));
            if (close != nullptr && close->isEnabled() && window->isVisible()) {
                const auto* status = window->findChild<QLabel*>(QStringLiteral("lblStatus"));
                if (status->text() == QString::fromUtf8(kx::errhandler::kStatusDelivered)) {
                    stored = Clock::now();
                }
                window->close();
            }
        }
    });
    poll.start(1);
    const Clock::time_point start = Clock::now();
    error.ErrorHandler(5, "KXVantor", "frmLogin", "cmdLogin_Click", "Benchmark", 60, context,
                       "300.1100.3");
    if (stored == Clock::time_point{}) {
        return -1;
    }
    return std::chrono::duration<double, std::milli>(stored - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const fs::path folder =
        fs::temp_directory_path() / ("report_bench." + std::to_string(getpid()));
    fs::create_directories(folder);
    fs::current_path(folder);  // the error log goes here
    const std::string kxserver =
        (fs::read_symlink("/proc/self/exe").parent_path() / "kxserver").string();
    pid_t init = 0;
    kx::test::readAll(
        kx::test::startReadingOutput(
            {kxserver, "init", "catalog", "--password-memory", "8", "--password-passes", "1"},
            "kxserver.log", init),
        false);
    kx::test::exitCodeOf(init);
    kx::test::ServerProcess server(kxserver, folder / "catalog", 0);
    const std::string url = server.url();
    setenv("KX_ERROR_REPORT_URL", (url + "/GenErrorReport.asp").c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // Reports are spooled before they are posted: into the benchmark's folder, not the user's.
    setenv("XDG_STATE_HOME", (folder / "state").c_str(), 1);
    QApplication application(argc, argv);

    kx::errhandler::Error error(&kx::errhandler::presentErrorDialog);
    const std::string context = largeContext();
    std::vector<double> times;
    for (int i = 0; i < runs && !url.empty(); ++i) {
        times.push_back(timeOneReport(error, context));
    }
    server.stop(SIGTERM);
    fs::remove_all(folder);
    std::sort(times.begin(), times.end());
    if (times.empty() || times.front() < 0) {
        std::cerr << "report_bench: a report was not stored\n";
        return 1;
    }
    std::printf(
        "ErrorHandler to report stored, %zu-byte context, %d runs: median %.0f ms, "
        "min %.0f ms, max %.0f ms\n",
        kContextBytes, runs, times[times.size() / 2], times.front(), times.back());
    return 0;
}

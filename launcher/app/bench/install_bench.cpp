// Measures the install run of the real launcher window (Qt, offscreen) against a running kxserver.
// Run by scripts/run-benchmarks.sh, which publishes the files and starts the server; not a test.
//
//   install_bench PROGRAM_DIR throughput LOGIN URL   the run that installs one large file, and
//                                                    `curl -o` of the same URL, side by side
//   install_bench PROGRAM_DIR memory LOGIN           the launcher's resident memory before a run
//                                                    and its peak during it
//   install_bench PROGRAM_DIR uptodate LOGIN         a run over rows that are all current, and a
//                                                    loop of GetFileVersion over the same files
//   install_bench PROGRAM_DIR install LOGIN          one run, timed (the script cuts it short)
//
// PROGRAM_DIR holds the launcher's configuration (BaseURL); each LOGIN (Filer Code BENCH,
// password "bench") has one deployment. Message boxes are printed and answered OK.

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "file_versions.h"
#include "launcher_state.h"
#include "login_procedures.h"
#include "message_box.h"
#include "qt_login_window.h"
#include "system_utilities.h"

namespace {

using namespace kx::launcher;
using Clock = std::chrono::steady_clock;

double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// A value of /proc/self/status in kB ("VmRSS", "VmHWM").
long statusKilobytes(const std::string& name) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with(name + ":")) {
            return std::stol(line.substr(name.size() + 1));
        }
    }
    return -1;
}

// One start of the launcher window: logs in as `login` and runs the event loop until the install
// run closes the window. `atStart` runs once the install timer is armed. Returns the run's time.
Clock::duration launcherRun(const std::string& programDir, const std::string& login,
                            const std::function<void()>& atStart = {}) {
    resetLauncherState();
    LauncherEnvironment environment = LauncherEnvironment::ofThisProcess();
    environment.commandLine.clear();
    environment.folders.programFolder = [programDir] { return programDir; };
    qt::QtLoginWindow window(std::move(environment));
    wireLoginProcedures(window.form());
    window.show();
    LoginView& view = window.form().view();
    view.setText(Control::txtFilerCode, "BENCH");
    view.setText(Control::txtLogin, login);
    view.setText(Control::txtPassword, "bench");
    window.form().controlEvent(Control::cmdLogin, ControlEvent::Click);
    if (atStart) {
        atStart();
    }
    const auto start = Clock::now();
    QApplication::exec();
    return Clock::now() - start;
}

int throughput(const std::string& programDir, const std::string& login, const std::string& url) {
    const std::string copy = programDir + "/curl-copy.bin";
    std::vector<double> ratios;
    for (int round = 1; round <= 5; ++round) {
        const auto curlStart = Clock::now();
        if (ExecCmd("curl -s -o \"" + copy + "\" \"" + url + "\"") != 0) {
            std::cerr << "curl failed\n";
            return 1;
        }
        const double curl = seconds(Clock::now() - curlStart);
        const double run = seconds(launcherRun(programDir, login));
        ratios.push_back(curl / run);
        std::printf("round %d: curl -o %.3f s, install run %.3f s, throughput ratio %.2f\n", round,
                    curl, run, curl / run);
    }
    std::remove(copy.c_str());
    std::sort(ratios.begin(), ratios.end());
    std::printf("median throughput of the install run / curl -o: %.2f (target >= 0.9)\n",
                ratios[2]);
    return 0;
}

int memory(const std::string& programDir, const std::string& login) {
    long before = 0;
    launcherRun(programDir, login, [&] {
        before = statusKilobytes("VmRSS");
        std::ofstream("/proc/self/clear_refs") << "5";  // restarts the peak (VmHWM) from now
    });
    const long peak = statusKilobytes("VmHWM");
    std::printf("resident before the run %ld kB, peak during it %ld kB: +%.1f MB (target <= 16)\n",
                before, peak, static_cast<double>(peak - before) / 1024);
    return 0;
}

int upToDate(const std::string& programDir, const std::string& login) {
    launcherRun(programDir, login);  // installs the files; the timed run finds them current
    const double run = seconds(launcherRun(programDir, login));
    std::vector<std::string> files;
    auto& list = *Module1().rsInstallList;
    for (list.MoveFirst(); !list.isEOF(); list.MoveNext()) {
        files.push_back(Module1().KestrixDir + "/" + list.Fields("FileName").Value().asString());
    }
    const auto loopStart = Clock::now();
    std::size_t versions = 0;
    for (const std::string& file : files) {
        versions += GetFileVersion(file).empty() ? 0U : 1U;
    }
    const double loop = seconds(Clock::now() - loopStart);
    std::printf(
        "%zu current rows: install run %.3f s, GetFileVersion loop %.3f s (%zu versions),"
        " ratio %.2f (target <= 1.5)\n",
        files.size(), run, loop, versions, run / loop);
    return 0;
}

int install(const std::string& programDir, const std::string& login) {
    std::printf("install run %.3f s\n", seconds(launcherRun(programDir, login)));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    kx::setMessageBoxHandler([](const std::string& prompt, std::int32_t, const std::string&) {
        std::cerr << "message box: " << prompt << "\n";
        return kx::vbmsg::kOK;
    });
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 4 && args[1] == "throughput") {
        return throughput(args[0], args[2], args[3]);
    }
    if (args.size() == 3 && args[1] == "memory") {
        return memory(args[0], args[2]);
    }
    if (args.size() == 3 && args[1] == "uptodate") {
        return upToDate(args[0], args[2]);
    }
    if (args.size() == 3 && args[1] == "install") {
        return install(args[0], args[2]);
    }
    std::cerr << "usage: install_bench PROGRAM_DIR throughput LOGIN URL | memory LOGIN | "
                 "uptodate LOGIN | install LOGIN\n";
    return 2;
}

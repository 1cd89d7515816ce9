// Measures the install run of the real launcher window (Qt, offscreen) against a running kxserver.
// Run by scripts/run-benchmarks.sh, which publishes the files and starts the server; not a test.
//
//   install_bench PROGRAM_DIR throughput LOGIN URL   the run that installs one large file, and
//                                                    `curl -o` of the same URL, side by side
//   install_bench PROGRAM_DIR memory LOGIN           the launcher's resident memory before a run
//                                                    and its peak during it
//   install_bench PROGRAM_DIR uptodate LOGIN [KEY]   a run over rows that are all current, and a
//                                                    loop of GetFileVersion over the same files;
//                                                    with the public key line of the catalog's
//                                                    signing key, also whole starts without and
//                                                    with the list's signatures checked
//   install_bench PROGRAM_DIR install LOGIN          one run, timed (the script cuts it short)
//   install_bench PROGRAM_DIR anonymous LOGIN        the launcher's anonymous memory at the start
//                                                    of a run and its highest during it (a run
//                                                    that patches a large file)
//
// PROGRAM_DIR holds the launcher's configuration (BaseURL); each LOGIN (Filer Code BENCH,
// password "bench") has one deployment. Message boxes are printed and answered OK.

#include <QApplication>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "launcher/login/login_procedures.h"
#include "launcher/login/qt/qt_login_window.h"
#include "launcher/startup/launcher_state.h"
#include "launcher/startup/system_utilities.h"
#include "launcher/update/file_versions.h"
#include "launcher/update/install_list_check.h"
#include "platform/registry/registry.h"
#include "platform/runtime/message_box.h"
#include "platform/text/path_text.h"

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

struct StartTimes {
    Clock::duration whole;  // from the press of Login: the list, its check and the run
    Clock::duration run;    // the install run alone
};

// One start of the launcher window: logs in as `login` and runs the event loop until the install
// run closes the window. `atStart` runs once the install timer is armed.
StartTimes launcherRun(const std::string& programDir, const std::string& login,
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
    const auto pressed = Clock::now();
    window.form().controlEvent(Control::cmdLogin, ControlEvent::Click);
    if (atStart) {
        atStart();
    }
    const auto start = Clock::now();
    QApplication::exec();
    const auto end = Clock::now();
    return {end - pressed, end - start};
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
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
        const double run = seconds(launcherRun(programDir, login).run);
        // A target that already holds the row's content is installed from itself: each round
        // downloads only when the last one's file is gone.
        const std::string placed = Module1().FileToWrite;
        if (!placed.ends_with(url.substr(url.rfind('/'))) || std::remove(placed.c_str()) != 0) {
            std::cerr << "the installed file was not found\n";
            return 1;
        }
        ratios.push_back(curl / run);
        std::printf("round %d: curl -o %.3f s, install run %.3f s, throughput ratio %.2f\n", round,
                    curl, run, curl / run);
    }
    std::remove(copy.c_str());
    std::printf("median throughput of the install run / curl -o: %.2f (target >= 0.9)\n",
                median(ratios));
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

// Whole starts over current rows without and with the catalog's key trusted, in alternating
// rounds, so that both see the same load of the machine.
void signatureCheckCost(const std::string& programDir, const std::string& login,
                        const std::string& keyLine, std::size_t rows) {
    constexpr const char* kTrustedKeys = "SOFTWARE\\Kestrix\\KXVantor\\TrustedUpdateKeys";
    std::vector<double> plain;
    std::vector<double> checked;
    for (int round = 0; round < 5; ++round) {
        kx::registry::RegDeleteTree(kx::registry::Hive::LocalMachine, kTrustedKeys);
        plain.push_back(seconds(launcherRun(programDir, login).whole));
        kx::registry::HKEY key;
        if (kx::registry::RegCreateKeyEx(kx::registry::Hive::LocalMachine, kTrustedKeys,
                                         kx::registry::kKeyWrite, key) != 0 ||
            kx::registry::setString(key, "Bench", keyLine) != 0) {
            std::cerr << "the trusted key cannot be written\n";
            return;
        }
        checked.push_back(seconds(launcherRun(programDir, login).whole));
        std::printf("round %d: whole start %.3f s, with the list's signature checked %.3f s\n",
                    round + 1, plain.back(), checked.back());
    }
    // The check alone, again on the list of the last start, gives a figure that the noise of a
    // busy machine does not hide.
    std::vector<double> alone;
    Module1State& m = Module1();
    kx::rowset::Recordset& deployment = *m.rsDeployments;
    for (int round = 0; round < 5; ++round) {
        const auto start = Clock::now();
        const std::string refused = checkInstallListSignatures(
            LauncherEnvironment::ofThisProcess(), deployment.Fields("InstallGroupID").Value(),
            deployment.Fields("CustomInstallGroupID").Value());
        alone.push_back(seconds(Clock::now() - start));
        if (!refused.empty()) {
            std::cerr << "the list was refused: " << refused << "\n";
        }
    }
    kx::registry::RegDeleteTree(kx::registry::Hive::LocalMachine, kTrustedKeys);
    const double without = median(plain);
    const double with = median(checked);
    std::printf(
        "%zu current rows, median whole start: %.3f s, with the signed list checked %.3f s:"
        " %+.1f%%; the check alone %.1f ms, %.1f%% of the start (target <= 5%%)\n",
        rows, without, with, (with / without - 1) * 100, median(alone) * 1000,
        median(alone) / without * 100);
}

int upToDate(const std::string& programDir, const std::string& login, const std::string& keyLine) {
    launcherRun(programDir, login);  // installs the files; the timed run finds them current
    const double run = seconds(launcherRun(programDir, login).run);
    std::vector<std::string> files;
    auto& list = *Module1().rsInstallList;
    for (list.MoveFirst(); !list.isEOF(); list.MoveNext()) {
        files.push_back(
            kx::joinPath(Module1().KestrixDir, list.Fields("FileName").Value().asString()));
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
    if (!keyLine.empty()) {
        signatureCheckCost(programDir, login, keyLine, files.size());
    }
    return 0;
}

// RssAnon has no high-water mark of its own: a thread samples it while the run goes on.
int anonymousMemory(const std::string& programDir, const std::string& login) {
    long atStart = 0;
    std::atomic<long> highest{0};
    std::atomic<bool> running{true};
    std::thread sampler;
    launcherRun(programDir, login, [&] {
        atStart = statusKilobytes("RssAnon");
        sampler = std::thread([&] {
            while (running) {
                highest = std::max(highest.load(), statusKilobytes("RssAnon"));
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        });
    });
    running = false;
    sampler.join();
    std::printf(
        "anonymous memory at the start of the run %ld kB, highest during it %ld kB: +%.1f MB "
        "(target <= 64)\n",
        atStart, highest.load(), static_cast<double>(highest - atStart) / 1024);
    return 0;
}

int install(const std::string& programDir, const std::string& login) {
    std::printf("install run %.3f s\n", seconds(launcherRun(programDir, login).run));
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
    if ((args.size() == 3 || args.size() == 4) && args[1] == "uptodate") {
        return upToDate(args[0], args[2], args.size() == 4 ? args[3] : "");
    }
    if (args.size() == 3 && args[1] == "install") {
        return install(args[0], args[2]);
    }
    if (args.size() == 3 && args[1] == "anonymous") {
        return anonymousMemory(args[0], args[2]);
    }
    std::cerr << "usage: install_bench PROGRAM_DIR throughput LOGIN URL | memory LOGIN | "
                 "uptodate LOGIN [KEY] | install LOGIN | anonymous LOGIN\n";
    return 2;
}

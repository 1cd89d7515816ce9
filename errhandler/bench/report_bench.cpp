// report_bench: the time from an ErrorHandler call to its report stored by kxserver, with a
// context of 1 MiB, on the offscreen platform against a kxserver on loopback that this program
// starts from its own folder.
//
//   report_bench [RUNS]     (5 runs by default)
//
// Each run calls ErrorHandler with the real dialog; the time ends when the dialog enables Close
// after "Transfer of data complete." (the server answers only once the report is stored), and the
// dialog is then closed by its window's own close command so that the next run can start.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
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

#include "error_class.h"
#include "error_presenter.h"
#include "report_texts.h"

extern char** environ;

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

// Runs `arguments` (kxserver beside this program); returns its process id, its standard output
// going to `output` and its log to "kxserver.log".
pid_t startKxserver(const std::vector<std::string>& arguments, const fs::path& output) {
    const std::string program = (fs::read_symlink("/proc/self/exe").parent_path() / "kxserver");
    std::vector<char*> argv = {const_cast<char*>(program.c_str())};
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "kxserver.log",
                                     O_WRONLY | O_CREAT | O_APPEND, 0600);
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
        std::cerr << "report_bench: cannot start " << program << "\n";
        std::exit(2);
    }
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// The first line kxserver wrote to `output` (its URL once it listens), waiting up to 10 s.
std::string firstLine(const fs::path& output) {
    for (int i = 0; i < 1000; ++i) {
        std::string line;
        if (std::FILE* file = std::fopen(output.c_str(), "r")) {
            char buffer[256] = {};
            if (std::fgets(buffer, sizeof buffer, file) != nullptr) {
                line = buffer;
            }
            std::fclose(file);
        }
        if (line.ends_with('\n')) {
            line.pop_back();
            return line;
        }
        usleep(10'000);
    }
    return "";
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
    const pid_t init = startKxserver(
        {"init", "catalog", "--password-memory", "8", "--password-passes", "1"}, "init.out");
    waitpid(init, nullptr, 0);
    const pid_t server = startKxserver({"serve", "catalog", "--port", "0"}, "serve.out");
    const std::string url = firstLine(folder / "serve.out");
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
    kill(server, SIGTERM);
    waitpid(server, nullptr, 0);
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

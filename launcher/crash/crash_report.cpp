#include "launcher/crash/crash_report.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

#include "launcher/crash/crash_capture.h"
#include "launcher/crash/crash_record.h"
#include "launcher/crash/crash_support.h"
#include "launcher/crash/crash_symbols.h"
#include "launcher/crash/error_conversion.h"
#include "launcher/crash/spooled_reports.h"

namespace kx::crash {

namespace {

// The record behind the option's descriptor: a regular file of bounded size, read whole from its
// start; nothing when the descriptor is not one or cannot be read.
std::optional<std::string> recordText(std::string_view option) {
    const std::string_view number = option.substr(kCrashReportOption.size());
    int fd = -1;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), fd);
    struct stat status {};
    if (error != std::errc() || end != number.data() + number.size() || fd < 0 ||
        fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size <= 0 ||
        static_cast<std::size_t>(status.st_size) > kMaxCrashRecordBytes) {
        return std::nullopt;
    }
    std::string text(static_cast<std::size_t>(status.st_size), '\0');
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t got =
            pread(fd, text.data() + done, text.size() - done, static_cast<off_t>(done));
        if (got <= 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    close(fd);  // nothing the library starts should inherit it
    text.resize(done);
    return text;
}

// The reporting process takes signals again: the crashed one blocked them all for the switch.
void unblockSignals() {
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
}

}  // namespace

bool isCrashReportRun(int argc, char** argv) {
    return argc > 1 && std::string_view(argv[1]).starts_with(kCrashReportOption);
}

int reportRecordedCrash(int /*argc*/, char** argv) {
    try {
        guardCrashReport();
        unblockSignals();
        const std::optional<std::string> text = recordText(argv[1]);
        const std::optional<CrashRecord> record =
            text ? parseCrashRecord(*text) : std::optional<CrashRecord>();
        if (!record) {
            std::cerr << kReportProjectName << ": " << kCrashReportOption
                      << "N is for the program's own use after a crash; there is no crash record "
                         "to report"
                      << std::endl;
            return 2;
        }
        const std::string version = record->version.empty() ? reportVersion() : record->version;
        // Reports that earlier runs could not deliver go out beside this one's dialog.
        sendSpooledReportsInBackground();
        handErrorToLibrary(
            record->errorNumber, record->module, record->procedure, crashDescription(*record),
            record->line,
            [&] {
                return crashContext(*record, symbolizeBacktrace(record->maps, record->frames,
                                                                !record->uncaughtException));
            },
            version);
    } catch (const std::exception& failure) {
        const RuntimeError error = asRuntimeError(failure);
        std::cerr << kReportProjectName << ": the crash report failed with error " << error.number()
                  << " (" << error.description() << "); ending the process" << std::endl;
    }
    endLauncherProcess();
}

}  // namespace kx::crash

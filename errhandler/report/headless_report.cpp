#include "headless_report.h"

#include <unistd.h>

#include <exception>
#include <iostream>

#include "library_identity.h"
#include "report_texts.h"

namespace kx::errhandler {

namespace {

constexpr int kAttempts = 3;

// The message with its carriage returns as line breaks of this platform.
std::string asLines(std::string text) {
    for (char& c : text) {
        if (c == '\r') {
            c = '\n';
        }
    }
    return text;
}

}  // namespace

void reportWithoutDisplay(const ErrorInfo& record, const ReportSources& sources,
                          const ReportSettings& settings) {
    std::cerr << kLibraryTitle << ": " << kDialogCaption << ": " << record.Description << "\n"
              << kLibraryTitle << ": " << kStatusSending << std::endl;
    for (int attempt = 1; attempt <= kAttempts; ++attempt) {
        try {
            ReportRun run(record, sources, settings);
            run.transfer().setTimeOut(kReportTimeOutSeconds);
            if (reportDelivered(run.post())) {
                std::cerr << kLibraryTitle << ": " << kStatusDelivered << std::endl;
            } else {
                const std::string& reason = run.transfer().LastError;
                std::cerr << kLibraryTitle << ": " << kStatusNotDelivered << "\n"
                          << asLines(kNotDeliveredMessage) << "\n"
                          << (reason.empty() ? "" : "(" + reason + ")\n") << std::flush;
            }
            _exit(1);
        } catch (const std::exception& failure) {
            std::cerr << kLibraryTitle << ": the report could not be prepared: " << failure.what()
                      << std::endl;
        }
    }
    _exit(1);
}

}  // namespace kx::errhandler

#include "errhandler/report/headless_report.h"

#include <unistd.h>

#include <exception>
#include <iostream>

#include "errhandler/http/library_identity.h"
#include "errhandler/report/report_texts.h"

namespace kx::errhandler {

namespace {

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
    const ReportIdentity identity = ReportIdentity::fresh();
    std::string reason;
    for (int run = 1; run <= kMaxReportRuns; ++run) {
        try {
            ReportRun report(record, sources, settings, identity);
            report.transfer().setTimeOut(kReportTimeOutSeconds);
            if (reportDelivered(report.post())) {
                std::cerr << kLibraryTitle << ": " << kStatusDelivered << std::endl;
                _exit(1);
            }
            reason = report.transfer().LastError;
            break;
        } catch (const std::exception& failure) {
            reason = std::string("the report could not be prepared: ") + failure.what();
            std::cerr << kLibraryTitle << ": " << reason << std::endl;
        }
    }
    std::cerr << kLibraryTitle << ": " << kStatusNotDelivered << "\n"
              << asLines(kNotDeliveredMessage) << "\n"
              << (reason.empty() ? "" : "(" + reason + ")\n") << std::flush;
    _exit(1);
}

}  // namespace kx::errhandler

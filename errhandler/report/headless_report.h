#pragma once
// The error report where no window can be shown (a service, a terminal session): the same report
// as the dialog's, with its outcome written to standard error instead of shown.

#include "errhandler/report/error_record.h"
#include "errhandler/report/report_run.h"

namespace kx::errhandler {

// Writes the description, posts the report (a run that fails with a run-time error is made again,
// at most kMaxReportRuns runs in all, as the dialog would at its next tick) and writes the
// outcome: the dialog's final status line, and for a report not delivered (also after the last
// failed run) its message and the reason. Then ends the process with exit code 1, as the dialog's
// Close does.
[[noreturn]] void reportWithoutDisplay(const ErrorInfo& record, const ReportSources& sources,
                                       const ReportSettings& settings);

}  // namespace kx::errhandler

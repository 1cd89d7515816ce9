#pragma once
// Runs frmError's report on the offscreen platform for the tests of the error library.

#include <string>
#include <vector>

#include "frm_error.h"

namespace kx::errhandler {

struct Outcome {
    std::string status;              // lblStatus at the end
    std::vector<std::string> boxes;  // title "|" text of each message box, answered with OK
};

// Loads the dialog for `record` posting to `url` (time-outs of one second), shows it and waits
// until Close is enabled.
Outcome runDialog(const std::string& url, ReportSources sources, const ErrorInfo& record);

}  // namespace kx::errhandler

#pragma once
// For tests of error reports made by other processes: kxserver on loopback as the vendor's web
// server that the reports go to, and the user in front of the error library's dialog.

#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "kxserver_harness.h"
#include "temp_dir.h"

namespace kx::test {

// An empty catalog of its own served by `kxserver serve`, and its reports as `kxserver reports`
// lists them.
class ReportServer {
  public:
    ReportServer();
    std::string reportUrl() const { return serve_->url() + "/GenErrorReport.asp"; }
    // The fields of every stored report, in the order they arrived.
    std::vector<nlohmann::ordered_json> reports() const;

  private:
    TempDir dir_;
    std::unique_ptr<ServeProcess> serve_;
};

// For qAddPreRoutine: once the application object being made runs events, and as soon as a
// report has ended (Close enabled), writes the dialog's error text and status line to standard
// output as "error|status" and a line end, and presses Close.
void watchForErrorDialogFromFirstEvent();
// The same, but the process is sent SIGTERM instead of Close being pressed.
void terminateAtErrorDialogFromFirstEvent();

}  // namespace kx::test

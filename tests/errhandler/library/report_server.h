#pragma once
// kxserver on loopback as the vendor's web server that error reports go to: an empty catalog of
// its own, served by `kxserver serve`, and the reports as `kxserver reports` lists them.

#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "kxserver_harness.h"
#include "temp_dir.h"

namespace kx::test {

class ReportServer {
  public:
    ReportServer();

    // Where the error library posts: the server's "/GenErrorReport.asp".
    std::string reportUrl() const { return serve_->url() + "/GenErrorReport.asp"; }
    // The fields of every stored report, in the order they arrived.
    std::vector<nlohmann::ordered_json> reports() const;

  private:
    TempDir dir_;
    std::unique_ptr<ServeProcess> serve_;
};

}  // namespace kx::test

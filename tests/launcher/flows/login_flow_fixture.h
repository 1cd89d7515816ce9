#pragma once
// One launcher start against a real kxserver: a catalog built with the server's command line in a
// temporary folder, `kxserver serve` on loopback, the launcher's folders and registry redirected
// (LauncherTestSetup), the window's procedures on the scripted view with the login wired in, the
// message boxes scripted, and the crash capture's end of the process turned into an exception
// the test observes.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "launcher/startup/frm_login.h"
#include "tests/launcher/login/launcher_test_setup.h"
#include "tests/support/kxserver_harness.h"
#include "tests/support/process_end.h"
#include "tests/support/scripted_login_view.h"
#include "tests/support/temp_dir.h"

namespace kx::test {

struct DeploymentSpec {
    std::string type = "BROKER";
    std::string description;
    std::string path;
    std::string checkForUpdates = "Y";
    std::int64_t group = 0;
    std::int64_t customGroup = 0;
};

class LoginFlowTest : public ::testing::Test {
  protected:
    LoginFlowTest();
    ~LoginFlowTest() override;

    std::filesystem::path catalog() const { return serverDir_ / "catalog"; }
    // `kxserver COMMAND <catalog> ARGS...`; returns its output.
    std::string admin(const std::string& command, const std::vector<std::string>& args = {}) const;
    void addUser(const std::string& login, const std::string& password) const;
    void addServer(const std::string& name, const std::string& path) const;
    // Adds the deployment and grants it to ACME/`login`; returns its id.
    std::int64_t addDeployment(const DeploymentSpec& spec,
                               const std::string& login = "ALICE") const;
    // Creates install group `group` with one published file and the stamp `stamp`.
    void addGroup(std::int64_t group, const std::string& stamp) const;

    // Serves the catalog; BusObjURL values then start with `publicUrl` when given.
    void serve(const std::string& publicUrl = {});
    // Serves the catalog (unless serve() was called) and loads the launcher window with "BaseURL"
    // pointing at the server (or at `baseUrl` when given) and the further configuration rows.
    void startLauncher(const ConfigRows& extraConfig = {}, const std::string& baseUrl = {});
    // Types the three entries and presses Login.
    void login(const std::string& filerCode, const std::string& login, const std::string& password);

    const std::string& serverUrl() const { return serve_->url(); }
    std::string shownPrompt(std::size_t index) const;

    TempDir serverDir_;
    LauncherTestSetup setup_;
    ScriptedLoginView view_;
    ScriptedMessageBoxes boxes_;
    std::unique_ptr<ServeProcess> serve_;
    std::unique_ptr<launcher::FrmLogin> form_;

  private:
    const ScopedProcessEndThrows end_;
};

}  // namespace kx::test

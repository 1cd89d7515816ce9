// StartUpInit against a real kxserver: the login token, the install-group stamps and the install
// list they leave, the login notes and the refused login.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "launcher/startup/launcher_state.h"
#include "launcher/update/install_time_stamps.h"
#include "platform/system/memory_status.h"
#include "tests/launcher/flows/login_flow_fixture.h"

namespace kx::test {
namespace {

using launcher::Control;
using launcher::Module1;

constexpr const char* kOldStamp = "2024-03-01 08:00:00";
constexpr const char* kNewStamp = "2024-04-01 08:00:00";

class StartUpInitTest : public LoginFlowTest {
  protected:
    // Runs the grid row `row` (all deployments of these tests share one server).
    void run(int row) {
        view_.setGridCurrentRow(row);
        ASSERT_TRUE(view_.press(Control::cmdRunVersion));
    }
};

TEST_F(StartUpInitTest, BrokerSkipsTheCheckOnlyWhileBothGroupStampsAreCurrent) {
    addServer("Main", "/bo/main");
    addGroup(10, kOldStamp);
    addGroup(11, kOldStamp);
    addDeployment(
        {.description = "Both groups", .path = "/bo/main", .group = 10, .customGroup = 11});
    addDeployment({.description = "Standard only", .path = "/bo/main", .group = 10});
    startLauncher();
    login("ACME", "ALICE", "s3cret");
    const auto& m = Module1();

    // First start: no local stamps, the check runs; the end of the run records the stamps.
    run(0);
    EXPECT_FALSE(m.m_SkipUpdateCheck);
    EXPECT_FALSE(m.m_SkipCustomUpdateCheck);
    EXPECT_EQ(m.m_InstallGroupName, "INSTALL_10");
    EXPECT_EQ(m.m_CustomInstallGroupName, "INSTALL_11");
    launcher::WriteInstallTimeStamp();

    run(0);
    EXPECT_TRUE(m.m_SkipUpdateCheck) << "equal stamps count as current";
    EXPECT_EQ(m.rsInstallList->RecordCount(), 0) << "only rows of InstallType 0 remain";
    EXPECT_EQ(view_.text(Control::lblMessage), "[Both groups] - checking for updates...");

    // The custom group changed on the server, the standard one did not.
    admin("set-stamp", {"11", kNewStamp});
    run(0);
    EXPECT_FALSE(m.m_SkipCustomUpdateCheck);
    EXPECT_FALSE(m.m_SkipUpdateCheck);

    // Without a custom group the standard group alone decides. Stamps are kept per deployment
    // folder, so this deployment records its own first.
    run(1);
    EXPECT_FALSE(m.m_SkipUpdateCheck);
    launcher::WriteInstallTimeStamp();
    run(1);
    EXPECT_TRUE(m.m_SkipCustomUpdateCheck);
    EXPECT_TRUE(m.m_SkipUpdateCheck);
    EXPECT_EQ(m.m_CustomInstallGroupName, "");
}

TEST_F(StartUpInitTest, StartHandsOnTheTokenDownloadLocationAndLoginNotes) {
    addServer("Main", "/bo/main");
    addGroup(12, kOldStamp);
    addDeployment({.type = "CLIENT", .description = "  Client  ", .path = "/bo/main", .group = 12});
    startLauncher();
    login("ACME", "ALICE", "s3cret");

    const auto& m = Module1();
    ASSERT_FALSE(m.m_AuthLogin.empty());
    const std::string busObjURL = serverUrl() + "/bo/main";
    EXPECT_EQ(m.m_BOServer, "http://" + m.m_AuthLogin + "@" + busObjURL.substr(7));
    EXPECT_EQ(m.m_DownloadLocation, busObjURL + "/CLIENT/InstallFiles/");
    EXPECT_EQ(m.mLoginDesc, "[Client]");
    EXPECT_TRUE(view_.enabled(Control::tmrComInstall));
    EXPECT_EQ(m.KXBOInit, nullptr);
    EXPECT_EQ(m.CommonDir, m.KestrixDir + "/CLIENT/  Client  ");

    // The notes as the server stored them, with true 64-bit figures.
    const auto notes = nlohmann::json::parse(admin("notes"));
    const std::string text = notes.at("notes").get<std::string>();
    const auto memory = sys::queryMemoryStatus();
    ASSERT_TRUE(memory.has_value());
    EXPECT_NE(
        text.find("Total Physical Memory = " + std::to_string(memory->totalPhysical) + "\r\n"),
        std::string::npos)
        << text;
    EXPECT_NE(text.find("\r\nMemory Load = %"), std::string::npos);
    EXPECT_TRUE(text.ends_with("\r\nHas admin access = Yes\r\n")) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 8);
}

TEST_F(StartUpInitTest, RefusedLoginIsReportedAsError20AndEndsTheLauncher) {
    // The blanks around the password reach the validation but not the login, which refuses.
    addUser("CAROL", " pass ");
    addServer("Main", "/bo/main");
    addGroup(12, kOldStamp);
    addDeployment({.description = "Broker", .path = "/bo/main", .group = 12}, "CAROL");
    startLauncher();

    EXPECT_EQ(endCodeOf([&] { login("ACME", "CAROL", " pass "); }), 1);
    ASSERT_EQ(boxes_.shown().size(), 1U);
    const std::string& report = boxes_.shown()[0].prompt;
    EXPECT_NE(report.find("Procedure: StartUpInit\r\n"), std::string::npos) << report;
    EXPECT_NE(report.find("The filer code/login/password you have supplied is not valid. (20)"),
              std::string::npos)
        << report;
    EXPECT_EQ(crash::modCrashSupport().qtrErrorSource, "Login Check");
    EXPECT_FALSE(view_.enabled(Control::tmrComInstall));
}

}  // namespace
}  // namespace kx::test

// The Login click against a real kxserver: entry checks, discovery of the valid (server,
// deployment) pairs, and the three outcomes.

#include <gtest/gtest.h>

#include "launcher/login/login_click.h"
#include "launcher/startup/launcher_state.h"
#include "platform/runtime/vb_convert.h"
#include "tests/launcher/flows/login_flow_fixture.h"

namespace kx::test {
namespace {

using launcher::Control;
using launcher::Module1;

using LoginDiscoveryTest = LoginFlowTest;

// Nothing listens at the base URL: blank entries are reported without a call, and the first call
// with all entries given ends the launcher through the crash capture.
TEST_F(LoginDiscoveryTest, BlankEntriesAreReportedWithoutAskingAnUnreachableService) {
    startLauncher({}, "http://127.0.0.1:" + std::to_string(unusedLoopbackPort()));
    struct Case {
        std::string filer, login, password, message;
        Control focus;
    };
    const Case cases[] = {
        {"  ", "", "", launcher::kFilerCodeMissing, Control::txtFilerCode},
        {"acme", " ", "x", launcher::kLoginMissing, Control::txtLogin},
        {"acme", "alice", "   ", launcher::kPasswordMissing, Control::txtPassword},
    };
    for (const Case& c : cases) {
        login(c.filer, c.login, c.password);
        ASSERT_FALSE(boxes_.shown().empty());
        EXPECT_EQ(boxes_.shown().back().prompt, c.message);
        EXPECT_EQ(boxes_.shown().back().buttons, vbmsg::kOKOnly);
        EXPECT_EQ(view_.focus(), c.focus);
    }
    EXPECT_EQ(boxes_.shown().size(), 3U);
    EXPECT_EQ(view_.text(Control::txtFilerCode), "ACME");
    EXPECT_EQ(view_.text(Control::txtLogin), "ALICE");
    EXPECT_EQ(view_.text(Control::lblStatus), "");

    EXPECT_EQ(endCodeOf([&] { login("ACME", "ALICE", "s3cret"); }), 1);
    ASSERT_EQ(boxes_.shown().size(), 4U);
    EXPECT_NE(shownPrompt(3).find("Procedure: cmdLogin_Click"), std::string::npos)
        << shownPrompt(3);
    EXPECT_EQ(crash::modCrashSupport().qtrErrorSource, "RDS.DataSpace");
}

TEST_F(LoginDiscoveryTest, UnknownUserAndWrongPasswordAreToldApartAndTheLoginPanelStays) {
    addServer("Main", "/bo/main");
    addDeployment({.description = "Broker", .path = "/bo/main"});
    startLauncher();

    login("ACME", "NOBODY", "s3cret");
    EXPECT_EQ(view_.text(Control::lblStatus), launcher::kNoServerStatus);
    EXPECT_EQ(shownPrompt(0), launcher::kNoServerMessage);
    EXPECT_EQ(view_.focus(), Control::txtFilerCode);
    EXPECT_EQ(view_.mousePointer(), launcher::MousePointer::Default);

    login("ACME", "ALICE", "wrong");
    EXPECT_EQ(view_.text(Control::lblStatus), launcher::kNoValidPairStatus);
    EXPECT_EQ(shownPrompt(1), launcher::kNoValidPairMessage);
    EXPECT_FALSE(view_.visible(Control::frameVersions));
    EXPECT_FALSE(view_.visible(Control::frameInstall));
    EXPECT_EQ(Module1().strmServers, nullptr) << "the click's streams are closed and released";
    EXPECT_EQ(Module1().strmDeployments, nullptr);
}

TEST_F(LoginDiscoveryTest, PairsListedInServerOrderAreStartedFromTheGridOrCancelled) {
    addServer("First", "/bo/one");
    addServer("Second", "/bo/two");
    // Deployments listed in the other order than their servers.
    const auto atTwo =
        addDeployment({.type = "CLIENT", .description = "Client at two", .path = "/bo/two"});
    const auto atOne = addDeployment({.description = "Broker at one", .path = "/bo/one"});
    startLauncher();

    login("ACME", "ALICE", "s3cret");
    EXPECT_EQ(view_.gridRows(), (std::vector<std::string>{"Broker at one", "Client at two"}));
    EXPECT_EQ(view_.gridCurrentRow(), 0);
    EXPECT_TRUE(view_.visible(Control::frameVersions));
    EXPECT_EQ(view_.focus(), Control::grdVersions);
    EXPECT_EQ(view_.text(Control::lblStatus), launcher::kValidatingStatus);

    view_.doubleClickGrid(-1);
    EXPECT_FALSE(view_.visible(Control::frameInstall)) << "the empty area starts nothing";

    ASSERT_TRUE(view_.press(Control::cmdCancVersion));
    EXPECT_FALSE(view_.visible(Control::frameVersions));
    EXPECT_EQ(view_.focus(), Control::txtFilerCode);
    EXPECT_EQ(view_.text(Control::txtLogin), "ALICE");

    login("ACME", "ALICE", "s3cret");
    ASSERT_EQ(view_.gridRowCount(), 2) << "the grid is filled anew";
    view_.setGridCurrentRow(1);
    ASSERT_TRUE(view_.press(Control::cmdRunVersion));
    EXPECT_EQ(CLngLng(Module1().rsLogins->Fields("KXDeploymentID").Value()), atTwo);
    EXPECT_EQ(view_.text(Control::lblMessage).substr(0, 16), "[Client at two] ");
    EXPECT_TRUE(view_.visible(Control::frameInstall));
    EXPECT_TRUE(view_.visible(Control::frameVersions)) << "the selection stays behind";

    view_.doubleClickGrid(0);
    EXPECT_EQ(CLngLng(Module1().rsLogins->Fields("KXDeploymentID").Value()), atOne);
    EXPECT_EQ(Module1().mLoginDesc, "[Broker at one]");
}

// Catalog B knows only the server with apostrophes; A lists both but renders their URLs at B, so
// that B refuses every call for server one. The one valid pair goes straight to the install panel.
TEST_F(LoginDiscoveryTest, ServerThatFailsItsCallIsSkippedAndOnePairGoesStraightToInstall) {
    // The apostrophe must be doubled in the filter that matches deployments to their server.
    addServer("O'Neil's", "/bo/o'neil");
    const auto id = addDeployment({.description = "Broker", .path = "/bo/o'neil"});
    TempDir otherDir;
    std::filesystem::copy(catalog(), otherDir / "catalog",
                          std::filesystem::copy_options::recursive);
    ServeProcess serverB(otherDir / "catalog");
    addServer("One", "/bo/one");
    addDeployment({.description = "At one", .path = "/bo/one"});
    serve(serverB.url());
    startLauncher();

    login("ACME", "ALICE", "s3cret");
    EXPECT_TRUE(boxes_.shown().empty()) << shownPrompt(0);
    EXPECT_EQ(view_.gridRowCount(), 0);
    EXPECT_TRUE(view_.visible(Control::frameInstall));
    EXPECT_TRUE(view_.enabled(Control::tmrComInstall)) << "the start went on at server B";
    EXPECT_EQ(Module1().rsLogins->RecordCount(), 1);
    EXPECT_EQ(CLngLng(Module1().rsLogins->Fields("KXDeploymentID").Value()), id);
    EXPECT_EQ(CStr(Module1().rsLogins->Fields("LoginType").Value()), "BROKER");
}

// A server whose call fails is ServerThatFailsItsCallIsSkipped...'s; this is the other branch.
TEST_F(LoginDiscoveryTest, ServerWhoseObjectCannotBeCreatedCountsAsNotValid) {
    addServer("One", "/bo/one");
    addDeployment({.description = "At one", .path = "/bo/one"});
    serve("ftp://host");  // not a web address: the object for it cannot even be created
    startLauncher({}, serverUrl());
    login("ACME", "ALICE", "s3cret");
    EXPECT_EQ(view_.text(Control::lblStatus), launcher::kNoValidPairStatus);
    EXPECT_EQ(boxes_.shown().back().prompt, launcher::kNoValidPairMessage);
}

}  // namespace
}  // namespace kx::test

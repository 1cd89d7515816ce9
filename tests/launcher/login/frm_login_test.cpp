// The window procedures of frmLogin on the scripted view: the load sequence, the remembered login
// through load and unload, the refusal of a close from the title bar, and a failing load.
#include "launcher/startup/frm_login.h"

#include <gtest/gtest.h>

#include "launcher/crash/crash_support.h"
#include "launcher/startup/launcher_state.h"
#include "platform/registry/settings.h"
#include "tests/launcher/login/launcher_test_setup.h"
#include "tests/support/process_end.h"
#include "tests/support/scripted_login_view.h"

namespace kx::launcher {
namespace {

using test::ScriptedLoginView;
using Boxes = std::vector<test::ScriptedMessageBoxes::Box>;

using test::rememberedLogin;
using test::storeRememberedLogin;

// A window with its procedures, loaded as the program loads it.
struct LoadedWindow {
    explicit LoadedWindow(const test::LauncherTestSetup& setup, const std::string& commandLine = "")
        : form(view, setup.environment(commandLine)) {
        view.attach(form);
        form.Load();
    }
    ScriptedLoginView view;
    FrmLogin form;
};

// The login panel as load leaves it: the three entries, then whether the Remember box is ticked
// and enabled and the Refresh button visible and enabled.
std::string loginPanel(const ScriptedLoginView& view) {
    std::string panel;
    for (const Control entry : {Control::txtFilerCode, Control::txtLogin, Control::txtPassword}) {
        panel += view.text(entry) + "|";
    }
    for (const bool flag : {view.checked(Control::chkRemember), view.enabled(Control::chkRemember),
                            view.visible(Control::cmdRefresh), view.enabled(Control::cmdRefresh)}) {
        panel += flag ? "1" : "0";
    }
    return panel;
}

class FrmLoginTest : public ::testing::Test {
  protected:
    test::LauncherTestSetup setup;
    test::ScriptedMessageBoxes boxes;
};

// What is stored and restored is proved by the remembered-login store's own tests; here only that
// unload saves what the window shows and the next load shows what was saved.
TEST_F(FrmLoginTest, LoadSetsTitleConfigurationAndShowsTheLoginTheLastUnloadSaved) {
    setup.configure({{"BaseURL", " https://kx.example/bo "}, {"WarnIfUpdates", "A"}});
    {
        LoadedWindow first(setup);
        EXPECT_EQ(first.view.title(), "KX Vantor, version 300.1100.0.3");
        EXPECT_EQ(Module1().mBaseURL, "https://kx.example/bo");
        EXPECT_EQ(Module1().mWarnIfUpdates, "A");
        EXPECT_FALSE(Module1().mIsSharedEnvironment);
        EXPECT_EQ(loginPanel(first.view), "|||0111") << "nothing remembered on the first run";

        first.view.type(Control::txtFilerCode, "ACME");
        first.view.type(Control::txtLogin, "JSMITH");
        first.view.type(Control::txtPassword, "secret");
        ASSERT_TRUE(first.view.press(Control::chkRemember));
        ASSERT_TRUE(first.view.press(Control::cmdCancel));
        EXPECT_TRUE(first.view.isUnloaded());
        EXPECT_FALSE(first.form.isLoaded());
    }
    resetLauncherState();
    EXPECT_EQ(loginPanel(LoadedWindow(setup).view), "ACME|JSMITH||1111");
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(FrmLoginTest, SharedMachineRemembersOnlyTheFilerCodeAndLocksTheRememberBox) {
    storeRememberedLogin("ACME", "JSMITH", "1");
    setup.configure({{"SharedEnvironment", "  true "}});
    LoadedWindow window(setup);

    EXPECT_TRUE(Module1().mIsSharedEnvironment);
    EXPECT_EQ(loginPanel(window.view), "ACME|||0000");
    EXPECT_FALSE(window.view.press(Control::chkRemember));  // the user cannot tick it

    window.view.type(Control::txtFilerCode, "NEWCO");
    window.view.type(Control::txtLogin, "OTHER");
    window.view.press(Control::cmdCancel);
    EXPECT_EQ(rememberedLogin("FilerCode"), "NEWCO");
    EXPECT_EQ(rememberedLogin("Login"), "");
}

// A close from the title bar is refused and saves nothing; the window then still closes when the
// session ends, without a message, and only once.
TEST_F(FrmLoginTest, TitleBarCloseIsRefusedWithTheCancelButtonMessageButSessionEndUnloadsOnce) {
    storeRememberedLogin("ACME", "JSMITH", "1");
    LoadedWindow window(setup);
    window.view.type(Control::txtLogin, "CHANGED");

    EXPECT_FALSE(window.view.closeFromTitleBar());
    const Boxes refusal{{"Please use the \"Cancel\" button if you wish to close this program now.",
                         vbmsg::kOKOnly, ""}};
    EXPECT_EQ(boxes.shown(), refusal);
    EXPECT_FALSE(window.view.isUnloaded());
    EXPECT_TRUE(window.form.isLoaded());
    EXPECT_EQ(rememberedLogin("Login"), "JSMITH");  // nothing saved

    EXPECT_TRUE(window.form.closeRequested(unloadmode::kAppWindows));
    EXPECT_EQ(boxes.shown(), refusal);
    EXPECT_TRUE(window.view.isUnloaded());
    EXPECT_EQ(rememberedLogin("Login"), "CHANGED");

    // A second request finds the window gone and saves nothing again.
    SaveSetting("KXVantor", "LoginInfo", "Remember", "marker");
    EXPECT_TRUE(window.form.Unload(unloadmode::kFormCode));
    EXPECT_EQ(rememberedLogin("Remember"), "marker");
}

// Wired procedures run in every flow test; a control without one, or whose procedure was cleared,
// does nothing.
TEST_F(FrmLoginTest, EventsOfControlsWithoutAProcedureOrAClearedOneDoNothing) {
    LoadedWindow window(setup);
    EXPECT_TRUE(window.view.press(Control::cmdLogin));
    window.form.setEventProcedure(Control::cmdCancel, ControlEvent::Click, {});
    EXPECT_TRUE(window.view.press(Control::cmdCancel));
    EXPECT_FALSE(window.view.isUnloaded());
}

TEST_F(FrmLoginTest, FailingLoadIsReportedAndEndsTheProgramWithoutSavingTheLogin) {
    storeRememberedLogin("ACME", "JSMITH", "1");
    const kx::test::ScopedProcessEndThrows unwind;
    ScriptedLoginView view;
    FrmLogin form(view, setup.environment());
    view.attach(form);
    view.failOnNextChange(Control::txtLogin);

    EXPECT_EQ(kx::test::endCodeOf([&] { form.Load(); }), 1);
    // Without the error library the report is the fallback box, naming the load handler.
    EXPECT_EQ(boxes.shown(), (Boxes{{crash::fallbackReportText(380, "frmLogin", "Form_Load",
                                                               "Invalid property value", 60),
                                     vbmsg::kCritical + vbmsg::kOKOnly, "Application Error"}}));
    EXPECT_FALSE(view.isUnloaded());
    EXPECT_EQ(rememberedLogin("Login"), "JSMITH");
    EXPECT_EQ(rememberedLogin("Remember"), "1");
}

}  // namespace
}  // namespace kx::launcher

// The window procedures of frmLogin on the scripted view: the load sequence, the remembered login
// through load and unload, the refusal of a close from the title bar, and a failing load.
#include "frm_login.h"

#include <gtest/gtest.h>

#include "launcher_state.h"
#include "launcher_test_setup.h"
#include "process_end.h"
#include "scripted_login_view.h"
#include "settings.h"

namespace kx::launcher {
namespace {

using test::ScriptedLoginView;

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

class FrmLoginTest : public ::testing::Test {
  protected:
    test::LauncherTestSetup setup;
    test::ScriptedMessageBoxes boxes;
};

TEST_F(FrmLoginTest, LoadSetsTitleConfigurationAndAnEmptyLoginPanelOnFirstRun) {
    setup.configure({{"BaseURL", " https://kx.example/bo "}, {"WarnIfUpdates", "A"}});
    LoadedWindow window(setup);

    EXPECT_EQ(window.view.title(), "KX Vantor, version 300.1100.0.3");
    EXPECT_EQ(Module1().mBaseURL, "https://kx.example/bo");
    EXPECT_EQ(Module1().mWarnIfUpdates, "A");
    EXPECT_FALSE(Module1().mIsSharedEnvironment);

    EXPECT_EQ(window.view.text(Control::txtFilerCode), "");
    EXPECT_EQ(window.view.text(Control::txtLogin), "");
    EXPECT_FALSE(window.view.checked(Control::chkRemember));
    EXPECT_TRUE(window.view.enabled(Control::chkRemember));
    EXPECT_TRUE(window.view.visible(Control::cmdRefresh));
    EXPECT_TRUE(window.view.enabled(Control::cmdRefresh));
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(FrmLoginTest, SharedMachineRemembersOnlyTheFilerCodeAndLocksTheRememberBox) {
    storeRememberedLogin("ACME", "JSMITH", "1");
    setup.configure({{"SharedEnvironment", "  true "}});
    LoadedWindow window(setup);

    EXPECT_TRUE(Module1().mIsSharedEnvironment);
    EXPECT_EQ(window.view.text(Control::txtFilerCode), "ACME");
    EXPECT_EQ(window.view.text(Control::txtLogin), "");
    EXPECT_EQ(window.view.text(Control::txtPassword), "");
    EXPECT_FALSE(window.view.checked(Control::chkRemember));
    EXPECT_FALSE(window.view.enabled(Control::chkRemember));
    EXPECT_FALSE(window.view.visible(Control::cmdRefresh));
    EXPECT_FALSE(window.view.enabled(Control::cmdRefresh));
    EXPECT_FALSE(window.view.press(Control::chkRemember));  // the user cannot tick it

    window.view.type(Control::txtFilerCode, "NEWCO");
    window.view.type(Control::txtLogin, "OTHER");
    window.view.press(Control::cmdCancel);
    EXPECT_EQ(rememberedLogin("FilerCode"), "NEWCO");
    EXPECT_EQ(rememberedLogin("Login"), "");
}

// What is stored and restored is proved by the remembered-login store's own tests; here only that
// unload saves what the window shows and load shows what was saved.
TEST_F(FrmLoginTest, UnloadSavesTheTickedLoginAndTheNextLoadShowsIt) {
    {
        LoadedWindow first(setup);
        first.view.type(Control::txtFilerCode, "ACME");
        first.view.type(Control::txtLogin, "JSMITH");
        first.view.type(Control::txtPassword, "secret");
        ASSERT_TRUE(first.view.press(Control::chkRemember));
        ASSERT_TRUE(first.view.press(Control::cmdCancel));
        EXPECT_TRUE(first.view.isUnloaded());
        EXPECT_FALSE(first.form.isLoaded());
    }
    resetLauncherState();
    LoadedWindow second(setup);
    EXPECT_EQ(second.view.text(Control::txtFilerCode), "ACME");
    EXPECT_EQ(second.view.text(Control::txtLogin), "JSMITH");
    EXPECT_EQ(second.view.text(Control::txtPassword), "");
    EXPECT_TRUE(second.view.checked(Control::chkRemember));
}

TEST_F(FrmLoginTest, CloseFromTheTitleBarIsRefusedWithTheCancelButtonMessage) {
    storeRememberedLogin("ACME", "JSMITH", "1");
    LoadedWindow window(setup);
    window.view.type(Control::txtLogin, "CHANGED");

    EXPECT_FALSE(window.view.closeFromTitleBar());

    ASSERT_EQ(boxes.shown().size(), 1U);
    EXPECT_EQ(boxes.shown()[0].prompt,
              "Please use the \"Cancel\" button if you wish to close this program now.");
    EXPECT_EQ(boxes.shown()[0].buttons, vbmsg::kOKOnly);
    EXPECT_EQ(boxes.shown()[0].title, "");
    EXPECT_FALSE(window.view.isUnloaded());
    EXPECT_TRUE(window.form.isLoaded());
    EXPECT_EQ(rememberedLogin("Login"), "JSMITH");  // nothing saved

    // The window still works: Cancel unloads it afterwards.
    EXPECT_TRUE(window.view.press(Control::cmdCancel));
    EXPECT_EQ(rememberedLogin("Login"), "CHANGED");
}

TEST_F(FrmLoginTest, SessionEndAndProgramUnloadsPassWithoutAMessageAndOnlyOnce) {
    LoadedWindow window(setup);
    window.view.type(Control::txtFilerCode, "ACME");
    EXPECT_TRUE(window.form.closeRequested(unloadmode::kAppWindows));
    EXPECT_TRUE(boxes.shown().empty());
    EXPECT_TRUE(window.view.isUnloaded());
    EXPECT_EQ(rememberedLogin("Remember"), "0");

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
    ASSERT_EQ(boxes.shown().size(), 1U);
    EXPECT_EQ(boxes.shown()[0].title, "Application Error");
    EXPECT_NE(boxes.shown()[0].prompt.find("Module: frmLogin\r\nProcedure: Form_Load"),
              std::string::npos);
    EXPECT_NE(boxes.shown()[0].prompt.find("Invalid property value (380)"), std::string::npos);
    EXPECT_FALSE(view.isUnloaded());
    EXPECT_EQ(rememberedLogin("Login"), "JSMITH");
    EXPECT_EQ(rememberedLogin("Remember"), "1");
}

}  // namespace
}  // namespace kx::launcher

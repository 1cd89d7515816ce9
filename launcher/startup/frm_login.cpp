#include "launcher/startup/frm_login.h"

#include "launcher/crash/trap.h"
#include "launcher/startup/config.h"
#include "launcher/startup/folder_names.h"
#include "launcher/startup/fonts.h"
#include "launcher/startup/launcher_state.h"
#include "launcher/startup/load_sequence.h"
#include "launcher/startup/remembered_login.h"
#include "platform/runtime/message_box.h"
#include "platform/runtime/variant.h"

namespace kx::launcher {

using crash::Frame;
using crash::trapped;

namespace {
constexpr const char* kModule = "frmLogin";
}  // namespace

FrmLogin::FrmLogin(LoginView& view, LauncherEnvironment environment)
    : view_(view), environment_(std::move(environment)) {
    setEventProcedure(Control::cmdCancel, ControlEvent::Click, [this] { cmdCancel_Click(); });
}

void FrmLogin::Load() {
    if (loaded_) {
        return;
    }
    loaded_ = true;
    Form_Load();
}

bool FrmLogin::Unload(std::int16_t unloadMode) {
    if (!loaded_) {
        return true;
    }
    std::int16_t cancel = kVbFalse;
    Form_QueryUnload(cancel, unloadMode);
    // A close request that arrived while the message above was shown may have unloaded already.
    if (cancel != kVbFalse || !loaded_) {
        return !loaded_;
    }
    Form_Unload(cancel);
    if (cancel != kVbFalse) {
        return false;
    }
    loaded_ = false;
    view_.unloadWindow();
    return true;
}

void FrmLogin::controlEvent(Control control, ControlEvent event) {
    const auto found = procedures_.find({control, event});
    if (found != procedures_.end()) {
        // A copy: the procedure may rewire its own event while it runs.
        const EventProcedure procedure = found->second;
        procedure();
    }
}

void FrmLogin::setEventProcedure(Control control, ControlEvent event, EventProcedure procedure) {
    if (procedure) {
        procedures_[{control, event}] = std::move(procedure);
    } else {
        procedures_.erase({control, event});
    }
}

void FrmLogin::Form_Load() {
    Frame frame(kModule, "Form_Load");
    trapped(frame, [&] {
        frame.line(10);
        view_.setTitle(launcherWindowTitle());
        frame.line(20);
        applyProfileSwitch(environment_.commandLine);
        frame.line(30);
        registerLauncherFonts({environment_.folders.programFolder(),
                               joinPath(environment_.folders.windowsFolder(), "Fonts"),
                               environment_.fontSessionFolder});
        frame.line(40);
        InitConfig(environment_.folders);
        frame.line(50);
        applyConfiguration();
        frame.line(60);
        restoreLoginPanel();
    });
}

void FrmLogin::restoreLoginPanel() {
    const RememberedLogin remembered = restoreRememberedLogin(Module1().mIsSharedEnvironment);
    view_.setText(Control::txtFilerCode, remembered.filerCode);
    view_.setText(Control::txtLogin, remembered.login);
    view_.setText(Control::txtPassword, remembered.password);
    view_.setChecked(Control::chkRemember, remembered.rememberChecked);
    view_.setEnabled(Control::chkRemember, remembered.rememberEnabled);
    view_.setEnabled(Control::cmdRefresh, remembered.refreshEnabled);
    view_.setVisible(Control::cmdRefresh, remembered.refreshVisible);
}

void FrmLogin::Form_QueryUnload(std::int16_t& Cancel, std::int16_t UnloadMode) {
    Frame frame(kModule, "Form_QueryUnload");
    frame.param("Cancel", Cancel).param("UnloadMode", UnloadMode);
    trapped(frame, [&] {
        frame.line(10);
        if (UnloadMode == unloadmode::kFormControlMenu) {
            frame.line(20);
            MsgBox(kUseCancelButtonMessage, vbmsg::kOKOnly, "");
            frame.line(30);
            Cancel = kVbTrue;
        }
    });
}

void FrmLogin::Form_Unload(std::int16_t& Cancel) {
    Frame frame(kModule, "Form_Unload");
    frame.param("Cancel", Cancel);
    trapped(frame, [&] {
        frame.line(10);
        saveRememberedLogin(Module1().mIsSharedEnvironment, view_.text(Control::txtFilerCode),
                            view_.text(Control::txtLogin), view_.checked(Control::chkRemember));
    });
}

void FrmLogin::cmdCancel_Click() {
    Frame frame(kModule, "cmdCancel_Click");
    trapped(frame, [&] {
        frame.line(10);
        Unload(unloadmode::kFormCode);
    });
}

}  // namespace kx::launcher

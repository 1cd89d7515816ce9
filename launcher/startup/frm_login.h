#pragma once
// The procedures of the launcher window frmLogin, working the window through a LoginView.
//
// The window's life: Load() runs Form_Load (the start-up sequence: title, profile switch, fonts,
// configuration, remembered login and the shared-machine restrictions) before the window is first
// shown. Events of the controls arrive through controlEvent() and run the event procedure wired
// for that control and event; a control without one does nothing, as in the old runtime. Unload()
// passes Form_QueryUnload and Form_Unload and then takes the window away. Each event procedure
// carries the crash capture's trap (module "frmLogin"): an unexpected run-time error is reported
// and ends the launcher without unloading, so nothing is saved in that run.
//
// Procedures of the later subsystems (the login, the selection grid, the install run) join the
// window through setEventProcedure; they reach the controls through view().

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>

#include "launcher/startup/launcher_environment.h"
#include "launcher/startup/login_view.h"

namespace kx::launcher {

class FrmLogin {
  public:
    using EventProcedure = std::function<void()>;

    // The load sequence and the procedures wired later take their outside facts from
    // `environment`.
    FrmLogin(LoginView& view, LauncherEnvironment environment);
    FrmLogin(const FrmLogin&) = delete;
    FrmLogin& operator=(const FrmLogin&) = delete;

    LoginView& view() { return view_; }
    const LauncherEnvironment& environment() const { return environment_; }

    // Loads the window: runs Form_Load once. The caller shows the window afterwards.
    void Load();
    bool isLoaded() const { return loaded_; }

    // The old runtime's Unload: Form_QueryUnload with `unloadMode`, then Form_Unload, then the
    // view takes the window away. Returns false when a procedure cancelled the unload (the window
    // stays). An unloaded window unloads no second time (returns true).
    bool Unload(std::int16_t unloadMode = unloadmode::kFormCode);

    // A close request from outside the program (title bar, session end): the same as Unload.
    bool closeRequested(std::int16_t unloadMode) { return Unload(unloadMode); }

    // Runs the event procedure wired for `control` and `event`, if any.
    void controlEvent(Control control, ControlEvent event);

    // Wires (or, with an empty procedure, removes) the event procedure of a control.
    void setEventProcedure(Control control, ControlEvent event, EventProcedure procedure);

    // The event procedures of this window.
    void Form_Load();
    // Refuses a close from the title bar with a message (Cancel becomes True); every other unload
    // mode passes unchanged.
    void Form_QueryUnload(std::int16_t& Cancel, std::int16_t UnloadMode);
    // Saves the remembered login from the login panel; Cancel is left unchanged.
    void Form_Unload(std::int16_t& Cancel);
    void cmdCancel_Click();

  private:
    void restoreLoginPanel();

    LoginView& view_;
    LauncherEnvironment environment_;
    bool loaded_ = false;
    std::map<std::pair<Control, ControlEvent>, EventProcedure> procedures_;
};

// The message that refuses a close from the title bar.
inline constexpr const char* kUseCancelButtonMessage =
    "Please use the \"Cancel\" button if you wish to close this program now.";

}  // namespace kx::launcher

#pragma once
// The narrow interface through which the procedures of the launcher window frmLogin work their
// window. The Qt window implements it for the program; a scripted view stands in for it in tests.
// Nothing here knows about a toolkit.
//
// Controls are named by id (login_form_design.h lists them with their kinds, texts and places).
// Every call is made on the launcher's user-interface thread. An operation that does not apply to
// a control's kind (the text of a progress bar, the check state of a button) is a programming
// fault and throws std::logic_error; values from outside (texts, widths) are accepted as they
// come and bounded by the view.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/inet/ui_thread_poster.h"

namespace kx::launcher {

enum class Control : std::uint8_t {
    // Panels and the logo, front to back.
    frameInstall,
    frameVersions,
    frameLogin,
    Image1,
    // The login panel.
    Label1,
    txtFilerCode,
    Label2,
    txtLogin,
    Label3,
    txtPassword,
    chkRemember,
    cmdLogin,
    cmdCancel,
    cmdRefresh,
    lblStatus,
    // The selection panel.
    grdVersions,
    cmdCancVersion,
    cmdRunVersion,
    // The install panel.
    lblMessage,
    frameStatus,
    Label4,
    Label5,
    lblBytes,
    prgCurrent,
    prgTotal,
    // The install timer (interval 1 ms, disabled at start).
    tmrComInstall,
};
inline constexpr std::size_t kControlCount = static_cast<std::size_t>(Control::tmrComInstall) + 1;

// What a control reports to the window's procedures.
enum class ControlEvent : std::uint8_t { Click, DblClick, Timer };

enum class MousePointer : std::uint8_t { Default, Hourglass };

// Why the window is being unloaded, as the old runtime numbers it.
namespace unloadmode {
inline constexpr std::int16_t kFormControlMenu = 0;  // the user closes it from its title bar
inline constexpr std::int16_t kFormCode = 1;         // the program unloads it
inline constexpr std::int16_t kAppWindows = 2;       // the user's session is ending
inline constexpr std::int16_t kAppTaskManager = 3;   // another program asks it to end
}  // namespace unloadmode

// The view is also how work finished on another thread (a download's state events) reaches the
// window's thread: postToUiThread queues a call that the window's event processing runs (DoEvents
// included).
class LoginView : public inet::UiThreadPoster {
  public:
    virtual void setTitle(const std::string& title) = 0;
    virtual std::string title() const = 0;

    // Caption or contents: labels, text boxes, the check box, buttons, the captions of
    // frameVersions and frameStatus.
    virtual void setText(Control control, const std::string& text) = 0;
    virtual std::string text(Control control) const = 0;

    virtual void setChecked(Control control, bool checked) = 0;  // chkRemember
    virtual bool checked(Control control) const = 0;

    // Any control; for tmrComInstall this starts and stops the timer.
    virtual void setEnabled(Control control, bool enabled) = 0;
    virtual bool enabled(Control control) const = 0;

    // The control's own Visible setting (a control inside a hidden panel keeps its setting).
    // Showing a panel puts it in front of the panels behind it, within its own rectangle.
    virtual void setVisible(Control control, bool visible) = 0;
    virtual bool visible(Control control) const = 0;

    virtual void setFocus(Control control) = 0;

    // Width of a progress bar (prgCurrent, prgTotal) in twips; clamped to the bar's full width,
    // NaN and negative widths show an empty bar (clampBarWidth).
    virtual void setBarWidth(Control bar, float twips) = 0;

    virtual void setMousePointer(MousePointer pointer) = 0;

    // The selection grid grdVersions: one column, one row per text; rows count from 0.
    virtual void setGridRows(const std::vector<std::string>& rows) = 0;
    virtual int gridRowCount() const = 0;
    virtual int gridCurrentRow() const = 0;       // -1 without rows
    virtual void setGridCurrentRow(int row) = 0;  // ignored outside 0 .. gridRowCount() - 1
    // The row under the mouse pointer at the last mouse action in the grid, -1 when none.
    virtual int gridRowUnderPointer() const = 0;

    // Paints the window now (the handlers that follow block the user-interface thread).
    virtual void Refresh() = 0;
    // Lets the pending window events run, nested in the calling handler.
    virtual void DoEvents() = 0;

    // Takes the window away once its procedures have agreed to the unload (FrmLogin::Unload);
    // with its only window gone, the program ends.
    virtual void unloadWindow() = 0;
};

// A progress bar's width bounded to 0 .. `fullWidth` twips; NaN gives 0.
float clampBarWidth(float twips, float fullWidth);

}  // namespace kx::launcher

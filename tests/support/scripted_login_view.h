#pragma once
// Stands in for the launcher window where no display is wanted: a LoginView that starts as the
// window is designed, records what the window's procedures set, and lets a test act as the user
// (type into boxes, press buttons, double-click grid rows, close from the title bar, let the
// install timer tick). Message boxes are answered by ScriptedMessageBoxes.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "launcher/startup/frm_login.h"
#include "launcher/startup/login_view.h"
#include "platform/runtime/message_box.h"
#include "tests/support/posted_calls.h"
#include "tests/support/scripted_message_boxes.h"

namespace kx::test {

class ScriptedLoginView final : public launcher::LoginView {
  public:
    using Control = launcher::Control;

    ScriptedLoginView();

    // The procedures that user actions go to.
    void attach(launcher::FrmLogin& form) { form_ = &form; }

    // User actions. A click reaches the procedures only when the control is enabled and visible,
    // as on the real window; the result tells whether it did.
    void type(Control box, const std::string& text) { stateOf(box).text = text; }
    bool press(Control button);
    void doubleClickGrid(int row);  // -1: the empty area below the rows
    bool closeFromTitleBar();       // returns whether the window closed
    bool tickInstallTimer();        // a tick, when the timer is enabled

    // Makes the next change the procedures make to `control` raise a run-time error.
    void failOnNextChange(Control control) { failingControl_ = control; }

    // What the procedures did.
    launcher::MousePointer mousePointer() const { return pointer_; }
    std::optional<Control> focus() const { return focus_; }
    bool isUnloaded() const { return unloaded_; }
    std::vector<std::string> gridRows() const { return gridRows_; }

    void setTitle(const std::string& title) override { title_ = title; }
    std::string title() const override { return title_; }
    void setText(Control control, const std::string& text) override {
        changing(control).text = text;
    }
    std::string text(Control control) const override { return state(control).text; }
    void setChecked(Control control, bool checked) override { changing(control).checked = checked; }
    bool checked(Control control) const override { return state(control).checked; }
    void setEnabled(Control control, bool enabled) override { changing(control).enabled = enabled; }
    bool enabled(Control control) const override { return state(control).enabled; }
    void setVisible(Control control, bool visible) override { changing(control).visible = visible; }
    bool visible(Control control) const override { return state(control).visible; }
    void setFocus(Control control) override;
    void setBarWidth(Control bar, float twips) override;
    void setMousePointer(launcher::MousePointer pointer) override { pointer_ = pointer; }
    void setGridRows(const std::vector<std::string>& rows) override;
    int gridRowCount() const override { return static_cast<int>(gridRows_.size()); }
    int gridCurrentRow() const override { return gridCurrentRow_; }
    void setGridCurrentRow(int row) override;
    int gridRowUnderPointer() const override { return gridPointerRow_; }
    void Refresh() override {}
    // Runs the calls posted so far, then, as the real window's 1 ms timer would, a tick of the
    // install timer when it is enabled.
    void DoEvents() override;
    void unloadWindow() override { unloaded_ = true; }
    void postToUiThread(std::function<void()> call) override { posted_.post(std::move(call)); }

  private:
    struct ControlState {
        std::string text;
        bool checked = false;
        bool enabled = true;
        bool visible = true;
    };
    ControlState& changing(Control control);
    const ControlState& state(Control control) const;
    ControlState& stateOf(Control control);

    launcher::FrmLogin* form_ = nullptr;
    std::vector<ControlState> controls_;
    std::string title_;
    std::optional<Control> focus_;
    std::optional<Control> failingControl_;
    launcher::MousePointer pointer_ = launcher::MousePointer::Default;
    std::vector<std::string> gridRows_;
    int gridCurrentRow_ = -1;
    int gridPointerRow_ = -1;
    bool unloaded_ = false;
    PostedCalls posted_;
};

}  // namespace kx::test

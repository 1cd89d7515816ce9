#include "tests/support/scripted_login_view.h"

#include <stdexcept>

#include "launcher/startup/login_form_design.h"
#include "platform/runtime/run_time_error.h"

namespace kx::test {

using launcher::ControlEvent;
using launcher::ControlKind;

constexpr std::int32_t kInvalidPropertyValue = 380;

ScriptedLoginView::ScriptedLoginView() {
    for (const launcher::ControlDesign& design : launcher::loginFormDesign()) {
        // The install timer starts disabled.
        controls_.push_back({.text = design.text,
                             .enabled = design.kind != ControlKind::Timer,
                             .visible = design.visible});
    }
}

const ScriptedLoginView::ControlState& ScriptedLoginView::state(Control control) const {
    return controls_.at(static_cast<std::size_t>(control));
}

ScriptedLoginView::ControlState& ScriptedLoginView::stateOf(Control control) {
    return controls_.at(static_cast<std::size_t>(control));
}

ScriptedLoginView::ControlState& ScriptedLoginView::changing(Control control) {
    if (failingControl_ == control) {
        failingControl_.reset();
        raiseError(kInvalidPropertyValue, launcher::designOf(control).name,
                   "Invalid property value");
    }
    return stateOf(control);
}

bool ScriptedLoginView::press(Control button) {
    const ControlState& pressed = state(button);
    if (!pressed.enabled || !pressed.visible || form_ == nullptr) {
        return false;
    }
    if (launcher::designOf(button).kind == ControlKind::CheckBox) {
        stateOf(button).checked = !pressed.checked;
    }
    form_->controlEvent(button, ControlEvent::Click);
    return true;
}

void ScriptedLoginView::doubleClickGrid(int row) {
    gridPointerRow_ = row >= 0 && row < gridRowCount() ? row : -1;
    if (gridPointerRow_ >= 0) {
        gridCurrentRow_ = gridPointerRow_;
    }
    if (form_ != nullptr) {
        form_->controlEvent(Control::grdVersions, ControlEvent::DblClick);
    }
}

bool ScriptedLoginView::closeFromTitleBar() {
    return form_ != nullptr && form_->closeRequested(launcher::unloadmode::kFormControlMenu);
}

bool ScriptedLoginView::tickInstallTimer() {
    if (!state(Control::tmrComInstall).enabled || form_ == nullptr) {
        return false;
    }
    form_->controlEvent(Control::tmrComInstall, ControlEvent::Timer);
    return true;
}

void ScriptedLoginView::DoEvents() {
    posted_.runPosted();
    tickInstallTimer();
}

void ScriptedLoginView::setFocus(Control control) {
    changing(control);
    focus_ = control;
}

// Only whether the procedures address a bar matters here; the width is the Qt window's.
void ScriptedLoginView::setBarWidth(Control bar, float) {
    if (launcher::designOf(bar).kind != ControlKind::Bar) {
        throw std::logic_error(std::string("not a progress bar: ") + launcher::designOf(bar).name);
    }
    changing(bar);
}

void ScriptedLoginView::setGridRows(const std::vector<std::string>& rows) {
    changing(Control::grdVersions);
    gridRows_ = rows;
    gridCurrentRow_ = rows.empty() ? -1 : 0;
}

void ScriptedLoginView::setGridCurrentRow(int row) {
    if (row >= 0 && row < gridRowCount()) {
        gridCurrentRow_ = row;
    }
}

}  // namespace kx::test

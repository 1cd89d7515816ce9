#include "launcher/startup/login_form_design.h"

#include <cmath>
#include <stdexcept>

namespace kx::launcher {
namespace {

using enum Control;
using enum ControlKind;
constexpr auto L = TextAlign::Left;
constexpr auto R = TextAlign::Right;
constexpr auto C = TextAlign::Center;
constexpr std::optional<Control> kWindow;

// In the order of the Control enumeration, which the table's index relies on.
constexpr std::array<ControlDesign, kControlCount> kDesign = {{
    {frameInstall, "frameInstall", Panel, kWindow, {0, 1200, 7455, 1635}, "", false, -1, L},
    {frameVersions,
     "frameVersions",
     Frame,
     kWindow,
     {0, 0, 7455, 4035},
     "Please select the application/version you want to run:",
     false,
     -1,
     L},
    {frameLogin, "frameLogin", Panel, kWindow, {60, 1140, 7395, 2895}, "", true, -1, L},
    {Image1, "Image1", Picture, kWindow, {2269, 120, 2895, 960}, "", true, -1, L},

    {Label1, "Label1", Label, frameLogin, {2280, 60, 990, 255}, "Filer Code:", true, -1, R},
    {txtFilerCode, "txtFilerCode", TextBox, frameLogin, {3349, 0, 795, 375}, "", true, 0, L},
    {Label2, "Label2", Label, frameLogin, {2269, 540, 975, 375}, "Login:", true, -1, R},
    {txtLogin, "txtLogin", TextBox, frameLogin, {3349, 480, 1875, 375}, "", true, 1, L},
    {Label3, "Label3", Label, frameLogin, {2209, 1020, 1035, 375}, "Password:", true, -1, R},
    {txtPassword, "txtPassword", PasswordBox, frameLogin, {3349, 960, 1875, 375}, "", true, 2, L},
    {chkRemember,
     "chkRemember",
     CheckBox,
     frameLogin,
     {2351, 1500, 2835, 315},
     "Remember my login info",
     true,
     3,
     L},
    {cmdLogin, "cmdLogin", Button, frameLogin, {2269, 2040, 1395, 375}, "Login", true, 4, C},
    {cmdCancel, "cmdCancel", Button, frameLogin, {3851, 2040, 1395, 375}, "Cancel", true, 5, C},
    {cmdRefresh, "cmdRefresh", PictureButton, frameLogin, {6720, 2400, 375, 375}, "", true, 6, C},
    {lblStatus, "lblStatus", Label, frameLogin, {0, 2520, 7395, 375}, "", true, -1, C},

    {grdVersions, "grdVersions", Grid, frameVersions, {180, 360, 7035, 3135}, "", true, 0, L},
    {cmdCancVersion,
     "cmdCancVersion",
     Button,
     frameVersions,
     {5760, 3600, 1395, 315},
     "Cancel",
     true,
     1,
     C},
    {cmdRunVersion,
     "cmdRunVersion",
     Button,
     frameVersions,
     {4260, 3600, 1395, 315},
     "Run",
     true,
     2,
     C},

    // The status line runs across the panel, so that a long deployment description stays
    // readable in front of its suffix.
    {lblMessage,
     "lblMessage",
     Label,
     frameInstall,
     {120, 240, 7215, 195},
     "Please wait, initializing system update procedure...",
     true,
     -1,
     L},
    {frameStatus, "frameStatus", Frame, frameInstall, {60, 540, 7335, 975}, "", true, -1, L},
    {Label4, "Label4", Label, frameStatus, {120, 300, 675, 195}, "Current:", true, -1, L},
    {Label5, "Label5", Label, frameStatus, {120, 660, 675, 195}, "Total:", true, -1, L},
    {lblBytes, "lblBytes", Label, frameStatus, {5280, 300, 1935, 195}, "", true, -1, L},
    {prgCurrent, "prgCurrent", Bar, frameStatus, {840, 300, 4335, 195}, "", true, -1, L},
    {prgTotal, "prgTotal", Bar, frameStatus, {840, 660, 6375, 195}, "", true, -1, L},

    {tmrComInstall, "tmrComInstall", Timer, kWindow, {}, "", true, -1, L},
}};

constexpr bool tableFollowsEnumeration() {
    for (std::size_t i = 0; i < kDesign.size(); ++i) {
        if (static_cast<std::size_t>(kDesign[i].id) != i) {
            return false;
        }
    }
    return true;
}
static_assert(tableFollowsEnumeration(), "the design table must follow the Control order");

}  // namespace

const std::array<ControlDesign, kControlCount>& loginFormDesign() {
    return kDesign;
}

const ControlDesign& designOf(Control control) {
    const auto index = static_cast<std::size_t>(control);
    if (index >= kDesign.size()) {
        throw std::logic_error("unknown control");
    }
    return kDesign[index];
}

int twipsToPixels(int twips) {
    return static_cast<int>(std::lround(twips / 15.0));
}

float clampBarWidth(float twips, float fullWidth) {
    if (std::isnan(twips) || twips < 0.0f) {
        return 0.0f;
    }
    return twips > fullWidth ? fullWidth : twips;
}

}  // namespace kx::launcher

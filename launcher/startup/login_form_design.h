#pragma once
// The design of the launcher window: every control with its kind, container, place, first text
// and first state. Both the Qt window and the scripted test view are built from this one table,
// so that they start alike. Places are in twips (1/1440 inch; 15 twips make one pixel at 96 dpi),
// relative to the control's container (the window's client area for the panels).

#include <array>
#include <cstdint>
#include <optional>

#include "launcher/startup/login_view.h"

namespace kx::launcher {

enum class ControlKind : std::uint8_t {
    Panel,    // a borderless frame
    Frame,    // a framed group with a caption
    Picture,  // the logo
    Label,
    TextBox,
    PasswordBox,  // a text box that shows "*" for every character
    CheckBox,
    Button,
    PictureButton,  // a button showing a picture, no caption
    Grid,
    Bar,    // a filled rectangle whose width shows progress
    Timer,  // no place on the window
};

enum class TextAlign : std::uint8_t { Left, Right, Center };

struct TwipsRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

struct ControlDesign {
    Control id;
    const char* name;  // the control's name, as procedures and reports know it
    ControlKind kind;
    std::optional<Control> container;  // none: the window's client area
    TwipsRect place;
    const char* text;
    bool visible;
    int tabIndex;  // order of the keyboard focus within the window; -1: takes no focus
    TextAlign align;
};

inline constexpr int kClientWidthTwips = 7455;
inline constexpr int kClientHeightTwips = 4110;
inline constexpr const char* kWindowFontFamily = "Arial";
inline constexpr double kWindowFontPointSize = 9.75;
inline constexpr int kInstallTimerIntervalMs = 1;
inline constexpr int kLogoWidthPixels = 193;
inline constexpr int kLogoHeightPixels = 64;

// The design of every control, indexed by Control.
const std::array<ControlDesign, kControlCount>& loginFormDesign();
const ControlDesign& designOf(Control control);

// Twips to pixels at 96 dpi, rounded to the nearest pixel.
int twipsToPixels(int twips);

}  // namespace kx::launcher

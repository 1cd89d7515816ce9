#pragma once
// Every message box of the launcher and the error library goes through MsgBox, so that the
// windowing layer supplies the real dialog and tests supply a scripted one. Without a handler
// the box is written to standard error and answered with its default button.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/runtime/scoped_replacement.h"

namespace kx {

// Buttons, icons and the default button, combined by addition as the old runtime's constants are.
namespace vbmsg {
inline constexpr std::int32_t kOKOnly = 0;
inline constexpr std::int32_t kOKCancel = 1;
inline constexpr std::int32_t kAbortRetryIgnore = 2;
inline constexpr std::int32_t kYesNoCancel = 3;
inline constexpr std::int32_t kYesNo = 4;
inline constexpr std::int32_t kRetryCancel = 5;
inline constexpr std::int32_t kCritical = 16;
inline constexpr std::int32_t kQuestion = 32;
inline constexpr std::int32_t kExclamation = 48;
inline constexpr std::int32_t kInformation = 64;
inline constexpr std::int32_t kDefaultButton2 = 256;
inline constexpr std::int32_t kDefaultButton3 = 512;
// Answers: each button answers with its own value.
inline constexpr std::int32_t kOK = 1;
inline constexpr std::int32_t kCancel = 2;
inline constexpr std::int32_t kAbort = 3;
inline constexpr std::int32_t kRetry = 4;
inline constexpr std::int32_t kIgnore = 5;
inline constexpr std::int32_t kYes = 6;
inline constexpr std::int32_t kNo = 7;
}  // namespace vbmsg

enum class MessageIcon : std::uint8_t { None, Critical, Question, Exclamation, Information };

// What a box of a given style shows, for every way of showing one.
struct MessageBoxLayout {
    std::vector<std::int32_t> answers;  // the buttons from left to right, by their answers
    std::size_t defaultButton = 0;      // index into `answers`
    // The button that Esc and the close box press: Cancel when shown, OK when it is the only
    // button; none otherwise (the user must choose).
    std::optional<std::size_t> escapeButton;
    MessageIcon icon = MessageIcon::None;
};

// Decodes a style: the button set from the low four bits (an unknown set shows OK only), the icon
// from bits 4-6 (an unknown icon shows none), the default button from bits 8-9 (a default beyond
// the buttons shown is the first button). Other bits (modality, help) change nothing here.
MessageBoxLayout messageBoxLayout(std::int32_t style);

// A prompt with its carriage returns (alone or before a line feed) as line feeds, the form in
// which every dialog shows it.
std::string promptLines(const std::string& prompt);

// Shows `prompt` (line breaks as the caller wrote them) with the given buttons and icon and
// `title` (empty: the application's name, as the platform shows it). Returns the answer.
// Disarms the report watchdog first (report_watchdog.h): a user reading a box is never cut short.
using MessageBoxHandler = std::function<std::int32_t(
    const std::string& prompt, std::int32_t buttons, const std::string& title)>;

std::int32_t MsgBox(const std::string& prompt, std::int32_t buttons = vbmsg::kOKOnly,
                    const std::string& title = {});

// Installs the handler that MsgBox uses from now on and returns the previous one. An empty
// handler restores the default (standard error, answered by the layout's default button).
MessageBoxHandler setMessageBoxHandler(MessageBoxHandler handler);

// Installs a handler for its own lifetime and then puts the previous one back.
using ScopedMessageBoxHandler = ScopedReplacement<MessageBoxHandler, setMessageBoxHandler>;

}  // namespace kx

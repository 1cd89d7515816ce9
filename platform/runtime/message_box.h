#pragma once
// Every message box of the launcher and the error library goes through MsgBox, so that the
// windowing layer supplies the real dialog and tests supply a scripted one. Without a handler
// the box is written to standard error and answered with its default button.

#include <cstdint>
#include <functional>
#include <string>

#include "scoped_replacement.h"

namespace kx {

// Buttons and icons, combined by addition as the old runtime's constants are.
namespace vbmsg {
inline constexpr std::int32_t kOKOnly = 0;
inline constexpr std::int32_t kOKCancel = 1;
inline constexpr std::int32_t kYesNo = 4;
inline constexpr std::int32_t kCritical = 16;
inline constexpr std::int32_t kQuestion = 32;
inline constexpr std::int32_t kExclamation = 48;
inline constexpr std::int32_t kInformation = 64;
// Answers.
inline constexpr std::int32_t kOK = 1;
inline constexpr std::int32_t kCancel = 2;
inline constexpr std::int32_t kYes = 6;
inline constexpr std::int32_t kNo = 7;
}  // namespace vbmsg

// Shows `prompt` (line breaks as the caller wrote them) with the given buttons and icon and
// `title` (empty: the application's name, as the platform shows it). Returns the answer.
// Disarms the report watchdog first (report_watchdog.h): a user reading a box is never cut short.
using MessageBoxHandler = std::function<std::int32_t(
    const std::string& prompt, std::int32_t buttons, const std::string& title)>;

std::int32_t MsgBox(const std::string& prompt, std::int32_t buttons = vbmsg::kOKOnly,
                    const std::string& title = {});

// Installs the handler that MsgBox uses from now on and returns the previous one. An empty
// handler restores the default (standard error, default button).
MessageBoxHandler setMessageBoxHandler(MessageBoxHandler handler);

// Installs a handler for its own lifetime and then puts the previous one back.
using ScopedMessageBoxHandler = ScopedReplacement<MessageBoxHandler, setMessageBoxHandler>;

}  // namespace kx

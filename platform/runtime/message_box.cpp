#include "platform/runtime/message_box.h"

#include <iostream>
#include <mutex>
#include <utility>

#include "platform/runtime/report_watchdog.h"

namespace kx {

namespace {
std::mutex& handlerMutex() {
    static std::mutex m;
    return m;
}

MessageBoxHandler& currentHandler() {
    static MessageBoxHandler handler;
    return handler;
}

std::vector<std::int32_t> buttonsOf(std::int32_t style) {
    using namespace vbmsg;
    switch (style & 0x0F) {
        case kOKCancel:
            return {kOK, kCancel};
        case kAbortRetryIgnore:
            return {kAbort, kRetry, kIgnore};
        case kYesNoCancel:
            return {kYes, kNo, kCancel};
        case kYesNo:
            return {kYes, kNo};
        case kRetryCancel:
            return {kRetry, kCancel};
        default:
            return {kOK};
    }
}

MessageIcon iconOf(std::int32_t style) {
    switch (style & 0x70) {
        case vbmsg::kCritical:
            return MessageIcon::Critical;
        case vbmsg::kQuestion:
            return MessageIcon::Question;
        case vbmsg::kExclamation:
            return MessageIcon::Exclamation;
        case vbmsg::kInformation:
            return MessageIcon::Information;
        default:
            return MessageIcon::None;
    }
}

std::optional<std::size_t> indexOf(const std::vector<std::int32_t>& answers, std::int32_t answer) {
    for (std::size_t i = 0; i < answers.size(); ++i) {
        if (answers[i] == answer) {
            return i;
        }
    }
    return std::nullopt;
}

}  // namespace

MessageBoxLayout messageBoxLayout(std::int32_t style) {
    MessageBoxLayout layout;
    layout.answers = buttonsOf(style);
    layout.icon = iconOf(style);
    const auto requested = static_cast<std::size_t>((style >> 8) & 3);
    layout.defaultButton = requested < layout.answers.size() ? requested : 0;
    layout.escapeButton = indexOf(layout.answers, vbmsg::kCancel);
    if (layout.answers.size() == 1) {
        layout.escapeButton = 0;
    }
    return layout;
}

std::string promptLines(const std::string& prompt) {
    std::string text;
    text.reserve(prompt.size());
    for (std::size_t i = 0; i < prompt.size(); ++i) {
        if (prompt[i] != '\r') {
            text += prompt[i];
        } else if (i + 1 >= prompt.size() || prompt[i + 1] != '\n') {
            text += '\n';
        }
    }
    return text;
}

std::int32_t MsgBox(const std::string& prompt, std::int32_t buttons, const std::string& title) {
    // From here on the user decides how long the process lives.
    disarmReportWatchdog();
    MessageBoxHandler handler;
    {
        std::lock_guard lock(handlerMutex());
        handler = currentHandler();
    }
    if (handler) {
        return handler(prompt, buttons, title);
    }
    std::cerr << "[message" << (title.empty() ? std::string() : ": " + title) << "] " << prompt
              << std::endl;
    const MessageBoxLayout layout = messageBoxLayout(buttons);
    return layout.answers[layout.defaultButton];
}

MessageBoxHandler setMessageBoxHandler(MessageBoxHandler handler) {
    std::lock_guard lock(handlerMutex());
    return std::exchange(currentHandler(), std::move(handler));
}

}  // namespace kx

#include "message_box.h"

#include <iostream>
#include <mutex>
#include <utility>

#include "report_watchdog.h"

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

// The first button of each button group is its default answer.
std::int32_t defaultAnswer(std::int32_t buttons) {
    switch (buttons & 0x0F) {
        case vbmsg::kOKCancel:
            return vbmsg::kOK;
        case vbmsg::kYesNo:
            return vbmsg::kYes;
        default:
            return vbmsg::kOK;
    }
}
}  // namespace

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
    return defaultAnswer(buttons);
}

MessageBoxHandler setMessageBoxHandler(MessageBoxHandler handler) {
    std::lock_guard lock(handlerMutex());
    return std::exchange(currentHandler(), std::move(handler));
}

}  // namespace kx

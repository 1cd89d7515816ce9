#include "errhandler/report/qt/display_probe.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <string_view>

namespace kx::errhandler {

bool displayAvailable() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    // xcb is this toolkit's own default platform here.
    if (platform != nullptr && *platform != '\0' &&
        !std::string_view(platform).starts_with("xcb")) {
        return true;
    }
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') {
        return false;
    }
    xcb_connection_t* connection = xcb_connect(display, nullptr);
    const bool connected = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return connected;
}

}  // namespace kx::errhandler

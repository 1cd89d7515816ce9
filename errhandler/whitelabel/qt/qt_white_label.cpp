#include "errhandler/whitelabel/qt/qt_white_label.h"

#include <exception>
#include <string>

#include "errhandler/whitelabel/qt/qt_control_object.h"
#include "errhandler/whitelabel/wl922_override.h"
#include "platform/runtime/debug_log.h"

namespace kx::errhandler {

void applyWhiteLabel(QWidget& form) {
    try {
        WL922_OVERRIDE whiteLabel;
        whiteLabel.ExecuteForm(qt::windowObject(form));
    } catch (const std::exception& failure) {
        // Re-branding is cosmetic: whatever went wrong, the window is shown as it stands.
        debugLog(std::string("the window is shown without its white label: ") + failure.what());
    } catch (...) {
        debugLog("the window is shown without its white label: an unknown failure");
    }
}

}  // namespace kx::errhandler

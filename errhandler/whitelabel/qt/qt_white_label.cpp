#include "qt_white_label.h"

#include "qt_control_object.h"
#include "wl922_override.h"

namespace kx::errhandler {

void applyWhiteLabel(QWidget& form) {
    try {
        WL922_OVERRIDE whiteLabel;
        whiteLabel.ExecuteForm(qt::windowObject(form));
    } catch (...) {
        // Re-branding is cosmetic: whatever went wrong, the window is shown as it stands.
    }
}

}  // namespace kx::errhandler

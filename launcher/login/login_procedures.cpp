#include "launcher/login/login_procedures.h"

#include "launcher/login/login_click.h"
#include "launcher/login/version_selection.h"
#include "launcher/update/install_window.h"

namespace kx::launcher {

void wireLoginProcedures(FrmLogin& form) {
    LoginView& view = form.view();
    const LauncherEnvironment& environment = form.environment();
    form.setEventProcedure(Control::cmdLogin, ControlEvent::Click,
                           [&view, &environment] { cmdLogin_Click(view, environment); });
    form.setEventProcedure(Control::cmdRunVersion, ControlEvent::Click,
                           [&view, &environment] { cmdRunVersion_Click(view, environment); });
    form.setEventProcedure(Control::grdVersions, ControlEvent::DblClick,
                           [&view, &environment] { grdVersions_DblClick(view, environment); });
    form.setEventProcedure(Control::cmdCancVersion, ControlEvent::Click,
                           [&view] { cmdCancVersion_Click(view); });
    wireInstallProcedures(form);
}

}  // namespace kx::launcher

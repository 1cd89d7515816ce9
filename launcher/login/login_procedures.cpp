#include "login_procedures.h"

#include <utility>

#include "install_window.h"
#include "login_click.h"
#include "version_selection.h"

namespace kx::launcher {

void wireLoginProcedures(FrmLogin& form, FolderSources folders) {
    LoginView& view = form.view();
    form.setEventProcedure(Control::cmdLogin, ControlEvent::Click,
                           [&view, folders] { cmdLogin_Click(view, folders); });
    form.setEventProcedure(Control::cmdRunVersion, ControlEvent::Click,
                           [&view, folders] { cmdRunVersion_Click(view, folders); });
    form.setEventProcedure(
        Control::grdVersions, ControlEvent::DblClick,
        [&view, folders = std::move(folders)] { grdVersions_DblClick(view, folders); });
    form.setEventProcedure(Control::cmdCancVersion, ControlEvent::Click,
                           [&view] { cmdCancVersion_Click(view); });
    wireInstallProcedures(form);
}

}  // namespace kx::launcher

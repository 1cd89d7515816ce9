#include "login_procedures.h"

#include <utility>

#include "login_click.h"
#include "trap.h"
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
    form.setEventProcedure(Control::tmrComInstall, ControlEvent::Timer,
                           [&view] { tmrComInstall_Timer(view); });
}

void tmrComInstall_Timer(LoginView& view) {
    crash::Frame frame("frmLogin", "tmrComInstall_Timer");
    crash::trapped(frame, [&] {
        frame.line(10);
        view.setEnabled(Control::tmrComInstall, false);
    });
}

}  // namespace kx::launcher

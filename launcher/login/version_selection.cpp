#include "launcher/login/version_selection.h"

#include <string>
#include <vector>

#include "launcher/crash/trap.h"
#include "launcher/startup/launcher_state.h"
#include "launcher/update/deployment_init.h"
#include "launcher/update/rowset_text.h"

namespace kx::launcher {

using crash::Frame;
using crash::trapped;

namespace {
constexpr const char* kModule = "frmLogin";

bool isGridRow(const LoginView& view, int row) {
    return row >= 0 && row < view.gridRowCount();
}
}  // namespace

void fillVersionsGrid(LoginView& view) {
    rowset::Recordset& logins = requireObject(Module1().rsLogins);
    std::vector<std::string> descriptions;
    for (logins.MoveFirst(); !logins.isEOF(); logins.MoveNext()) {
        descriptions.push_back(fieldText(logins.Fields("LoginDescription").Value()));
    }
    view.setGridRows(descriptions);
    view.setGridCurrentRow(0);
    view.Refresh();
    view.setVisible(Control::frameVersions, true);
    view.setFocus(Control::grdVersions);
}

void cmdRunVersion_Click(LoginView& view, const LauncherEnvironment& environment) {
    int mCurrentRow = -1;
    Frame frame(kModule, "cmdRunVersion_Click");
    frame.local("mCurrentRow", mCurrentRow);
    trapped(frame, [&] {
        frame.line(10);
        mCurrentRow = view.gridCurrentRow();
        if (!isGridRow(view, mCurrentRow)) {
            return;
        }
        frame.line(20);
        rowset::Recordset& logins = requireObject(Module1().rsLogins);
        logins.MoveFirst();
        if (mCurrentRow >= 1) {
            logins.Move(mCurrentRow);
        }
        frame.line(30);
        StartUpInit(view, environment);
    });
}

void grdVersions_DblClick(LoginView& view, const LauncherEnvironment& environment) {
    int mRow = -1;
    Frame frame(kModule, "grdVersions_DblClick");
    frame.local("mRow", mRow);
    trapped(frame, [&] {
        frame.line(10);
        mRow = view.gridRowUnderPointer();
        if (isGridRow(view, mRow)) {
            frame.line(20);
            view.setGridCurrentRow(mRow);
            cmdRunVersion_Click(view, environment);
        }
    });
}

void cmdCancVersion_Click(LoginView& view) {
    Frame frame(kModule, "cmdCancVersion_Click");
    trapped(frame, [&] {
        frame.line(10);
        view.setVisible(Control::frameVersions, false);
        frame.line(20);
        view.setFocus(Control::txtFilerCode);
    });
}

}  // namespace kx::launcher

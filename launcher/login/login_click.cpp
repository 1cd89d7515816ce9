#include "launcher/login/login_click.h"

#include "launcher/crash/trap.h"
#include "launcher/login/version_selection.h"
#include "launcher/startup/launcher_state.h"
#include "launcher/update/deployment_init.h"
#include "launcher/update/rowset_text.h"
#include "platform/dataspace/data_space.h"
#include "platform/runtime/message_box.h"
#include "platform/runtime/run_time_error.h"
#include "platform/runtime/vb_convert.h"
#include "platform/runtime/vb_strings.h"

namespace kx::launcher {

using crash::Frame;
using crash::trapped;

namespace {

constexpr const char* kInitProgId = "KXBO_V2.Init";

RecordsetPtr newLoginList() {
    auto logins = std::make_shared<rowset::Recordset>();
    logins->appendField("LoginServerName", rowset::DataType::adVarChar, 100);
    logins->appendField("BusObjURL", rowset::DataType::adVarChar, 500);
    logins->appendField("LoginType", rowset::DataType::adVarChar, 10);
    logins->appendField("KXDeploymentID", rowset::DataType::adBigInt);
    logins->appendField("LoginDescription", rowset::DataType::adVarChar, 255);
    logins->Open();
    return logins;
}

// Upper-cases the Filer Code and Login boxes and reports the first blank entry.
bool entriesComplete(LoginView& view) {
    view.setText(Control::txtFilerCode, UCase(view.text(Control::txtFilerCode)));
    view.setText(Control::txtLogin, UCase(view.text(Control::txtLogin)));
    struct Entry {
        Control box;
        const char* missing;
    };
    for (const Entry& entry :
         {Entry{Control::txtFilerCode, kFilerCodeMissing}, Entry{Control::txtLogin, kLoginMissing},
          Entry{Control::txtPassword, kPasswordMissing}}) {
        if (Trim(view.text(entry.box)).empty()) {
            MsgBox(entry.missing, vbmsg::kOKOnly, "");
            view.setFocus(entry.box);
            return false;
        }
    }
    return true;
}

void reportInvalidCombination(LoginView& view, const char* status, const char* message) {
    view.setMousePointer(MousePointer::Default);
    view.setText(Control::lblStatus, status);
    MsgBox(message, vbmsg::kOKOnly, "");
    view.setFocus(Control::txtFilerCode);
}

void fetchLists(dataspace::DataSpace& rds) {
    Module1State& m = Module1();
    m.KXBOInit = rds.CreateObject(kInitProgId, m.mBaseURL);
    m.mLoginServersXML = CStr(m.KXBOInit->call("GetLoginServersXML", {m.mFilerCode, m.mLogin}));
    m.mDeploymentsXML = CStr(m.KXBOInit->call("GetDeploymentsXML", {m.mFilerCode, m.mLogin}));
    m.KXBOInit.reset();
}

// A remote Boolean answer; anything that is not a number or Boolean raises error 13.
bool truthOf(const Variant& answer) {
    if (!answer.isNumeric()) {
        raiseError(vberr::kTypeMismatch);
    }
    return answer.numberValue() != 0;
}

Variant upperCased(const Variant& text) {
    return text.isNull() ? text : Variant(UCase(CStr(text)));
}

void appendLoginRow(rowset::Recordset& server, rowset::Recordset& deployment) {
    rowset::Recordset& logins = requireObject(Module1().rsLogins);
    logins.AddNew();
    logins.Fields("LoginServerName").setValue(server.Fields("ServerName").Value());
    logins.Fields("BusObjURL").setValue(server.Fields("BusObjURL").Value());
    logins.Fields("LoginType").setValue(upperCased(deployment.Fields("DeploymentType").Value()));
    logins.Fields("KXDeploymentID").setValue(deployment.Fields("KXDeploymentID").Value());
    logins.Fields("LoginDescription").setValue(deployment.Fields("DeploymentDescription").Value());
    logins.Update();
}

// Restricts rsDeployments to the current server's deployments and creates that server's object;
// a server whose object cannot be created keeps none of its deployments.
void selectServerDeployments(dataspace::DataSpace& rds, const std::string& busObjURL) {
    Module1State& m = Module1();
    rowset::Recordset& deployments = requireObject(m.rsDeployments);
    deployments.setFilter(Variant("BusObjURL = '" + Replace(busObjURL, "'", "''") + "'"));
    if (deployments.RecordCount() > 0) {
        resumeNext([&] { m.KXBOInit = rds.CreateObject(kInitProgId, busObjURL); });
        Err().Clear();
        if (!m.KXBOInit) {
            deployments.setFilter(Variant("KXDeploymentID = 0"));
        }
    }
}

// Asks every login server about each of its deployments and appends the valid pairs to rsLogins.
void collectValidPairs(LoginView& view, dataspace::DataSpace& rds, bool& misValidLogin,
                       bool& mClientLogin) {
    Module1State& m = Module1();
    rowset::Recordset& servers = requireObject(m.rsServers);
    rowset::Recordset& deployments = requireObject(m.rsDeployments);
    for (servers.MoveFirst(); !servers.isEOF(); servers.MoveNext()) {
        selectServerDeployments(rds, fieldText(servers.Fields("BusObjURL").Value()));
        for (; !deployments.isEOF(); deployments.MoveNext()) {
            misValidLogin = false;
            mClientLogin =
                UCase(Trim(fieldText(deployments.Fields("DeploymentType").Value()))) == "CLIENT";
            resumeNext([&] {
                misValidLogin = truthOf(
                    requireObject(m.KXBOInit)
                        .call("isValidLogin",
                              {view.text(Control::txtFilerCode), view.text(Control::txtLogin),
                               view.text(Control::txtPassword), mClientLogin, false}));
            });
            Err().Clear();
            if (misValidLogin) {
                appendLoginRow(servers, deployments);
            }
        }
        m.KXBOInit.reset();
    }
    deployments.setFilter(Variant(""));
    view.setMousePointer(MousePointer::Default);
}

void closeListStreams() {
    Module1State& m = Module1();
    for (StreamPtr* stream : {&m.strmServers, &m.strmDeployments}) {
        if (*stream && (*stream)->State() == rowset::ObjectState::adStateOpen) {
            (*stream)->Close();
        }
        stream->reset();
    }
}

// The discovery after the entries were accepted (steps that end early leave the login panel for
// another try).
void discoverDeployments(LoginView& view, const LauncherEnvironment& environment, Frame& frame,
                         bool& misValidLogin, bool& mClientLogin) {
    Module1State& m = Module1();
    frame.line(50);
    view.setMousePointer(MousePointer::Hourglass);
    view.setText(Control::lblStatus, kAuthenticatingStatus);
    view.Refresh();
    frame.line(60);
    auto rds = environment.newDataSpace();
    m.mRDS = rds;
    fetchLists(*rds);
    frame.line(80);
    m.rsServers = openRowsetFromText(m.mLoginServersXML, m.strmServers);
    if (m.rsServers->RecordCount() == 0) {
        reportInvalidCombination(view, kNoServerStatus, kNoServerMessage);
        return;
    }
    frame.line(100);
    view.setText(Control::lblStatus, kValidatingStatus);
    view.Refresh();
    m.rsDeployments = openRowsetFromText(m.mDeploymentsXML, m.strmDeployments);
    if (m.rsDeployments->RecordCount() == 0) {
        reportInvalidCombination(view, kNoServerStatus, kNoServerMessage);
        return;
    }
    frame.line(110);
    collectValidPairs(view, *rds, misValidLogin, mClientLogin);
    frame.line(130);
    const std::int64_t pairs = m.rsLogins->RecordCount();
    if (pairs == 0) {
        reportInvalidCombination(view, kNoValidPairStatus, kNoValidPairMessage);
    } else if (pairs == 1) {
        frame.line(140);
        m.rsLogins->MoveFirst();
        StartUpInit(view, environment);
    } else {
        frame.line(145);
        fillVersionsGrid(view);
    }
}

}  // namespace

void cmdLogin_Click(LoginView& view, const LauncherEnvironment& environment) {
    bool misValidLogin = false;
    bool mClientLogin = false;
    Frame frame("frmLogin", "cmdLogin_Click");
    frame.local("misValidLogin", misValidLogin).local("mClientLogin", mClientLogin);
    trapped(frame, [&] {
        Module1State& m = Module1();
        frame.line(10);
        m.rsLogins = newLoginList();
        frame.line(20);
        if (!entriesComplete(view)) {
            return;
        }
        frame.line(40);
        m.mFilerCode = Trim(view.text(Control::txtFilerCode));
        m.mLogin = Trim(view.text(Control::txtLogin));
        m.mPassword = Trim(view.text(Control::txtPassword));
        discoverDeployments(view, environment, frame, misValidLogin, mClientLogin);
        frame.line(150);
        closeListStreams();
    });
}

}  // namespace kx::launcher

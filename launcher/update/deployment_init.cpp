#include "launcher/update/deployment_init.h"

#include <optional>

#include "launcher/crash/trap.h"
#include "launcher/startup/launcher_state.h"
#include "launcher/startup/system_utilities.h"
#include "launcher/update/install_list_check.h"
#include "launcher/update/login_notes.h"
#include "launcher/update/rowset_text.h"
#include "launcher/update/update_decision.h"
#include "platform/dataspace/data_space.h"
#include "platform/runtime/message_box.h"
#include "platform/runtime/run_time_error.h"
#include "platform/runtime/vb_convert.h"
#include "platform/runtime/vb_strings.h"
#include "platform/system/memory_status.h"

namespace kx::launcher {

using crash::Frame;
using crash::trapped;

namespace {

constexpr const char* kClientProgId = "KXBOGeneral_V3.Init";
constexpr const char* kBrokerProgId = "KXBO_V2.Init";

Variant deploymentField(const char* name) {
    return requireObject(Module1().rsDeployments).Fields(name).Value();
}

void showStatus(LoginView& view, const std::string& suffix) {
    view.setText(Control::lblMessage, Module1().mLoginDesc + suffix);
    view.Refresh();
}

void emptyProgressBars(LoginView& view) {
    view.setBarWidth(Control::prgTotal, 0);
    view.setBarWidth(Control::prgCurrent, 0);
    view.Refresh();
}

// Positions rsDeployments on the deployment of the current rsLogins row.
void findChosenDeployment() {
    Module1State& m = Module1();
    const Variant id = requireObject(m.rsLogins).Fields("KXDeploymentID").Value();
    rowset::Recordset& deployments = requireObject(m.rsDeployments);
    deployments.MoveFirst();
    deployments.Find("KXDeploymentID = " + CStr(id));
}

// Names the chosen login in the status line.
void showInitializing(LoginView& view) {
    Module1State& m = Module1();
    m.mLoginDesc =
        "[" + Trim(fieldText(requireObject(m.rsLogins).Fields("LoginDescription").Value())) + "]";
    showStatus(view, " - initializing...");
}

ObjectPtr createBusinessObject(const LauncherEnvironment& environment) {
    Module1State& m = Module1();
    auto dataSpace = environment.newDataSpace();
    m.m_RDS = dataSpace;
    const bool client = fieldText(deploymentField("DeploymentType")) == "CLIENT";
    return dataSpace->CreateObject(client ? kClientProgId : kBrokerProgId, m.m_BOServer);
}

void logIn(Dispatch& businessObject) {
    Module1State& m = Module1();
    m.m_AuthLogin = CStr(
        businessObject.call("LoginUser", {m.mFilerCode, m.mLogin, m.mPassword, GetIpAddrTable()}));
    if (m.m_AuthLogin.empty()) {
        raiseError(kLoginCheckError, kLoginCheckSource, kLoginCheckDescription);
    }
}

void clearGroupFields() {
    Module1State& m = Module1();
    m.m_InstallGroupName.clear();
    m.m_ServerLastUpdate.clear();
    m.m_ClientLastUpdate.clear();
    m.m_CustomInstallGroupName.clear();
    m.m_CustomServerLastUpdate.clear();
    m.m_CustomClientLastUpdate.clear();
}

// Takes the update decision; when the check goes ahead, a broker's install groups have their
// time stamps compared, and when it does not (and updates are not only counted) it is skipped.
void prepareUpdateCheck(LoginView& view, Frame& frame, Dispatch& businessObject) {
    Module1State& m = Module1();
    frame.line(90);
    decideUpdateCheck(fieldText(deploymentField("checkForUpdates")));
    frame.line(100);
    clearGroupFields();
    frame.line(110);
    if (m.retCheckForUpdates == vbmsg::kYes) {
        if (fieldText(deploymentField("DeploymentType")) == "BROKER") {
            frame.line(111);
            compareBrokerStamps(businessObject, deploymentField("InstallGroupID"),
                                deploymentField("CustomInstallGroupID"));
        }
        frame.line(112);
        showStatus(view, " - checking for updates...");
    } else if (!m.mCountUpdates) {
        m.m_SkipUpdateCheck = true;
    }
}

// The steps that must not stop the start: each statement runs on its own with errors ignored.
void reportLoginAndLimitList(ObjectPtr& KXBOInit, std::string& LoginNotes, sys::MemoryStatus& MS) {
    Module1State& m = Module1();
    resumeNextEach({
        [&] {
            m.m_DownloadLocation = CStr(deploymentField("BusObjURL")) + "/" +
                                   Trim(fieldText(deploymentField("DeploymentType"))) +
                                   "/InstallFiles/";
        },
        [&] { MS = sys::queryMemoryStatus().value_or(sys::MemoryStatus{}); },
        [&] { modRegistry().HasAdmin = CheckAdminRights(); },
        [&] { LoginNotes = buildLoginNotes(MS, modRegistry().HasAdmin); },
        [&] {
            requireObject(KXBOInit).call("WriteLoginNotes", {m.m_AuthLogin, LoginNotes});
        },
        [&] { KXBOInit.reset(); },
        [&] { m.mNumUpdates = 0; },
        [&] {
            if (m.m_SkipUpdateCheck) {
                requireObject(m.rsInstallList).setFilter(Variant("InstallType = 0"));
            }
        },
    });
    Err().Clear();
}

void showRunStatus(LoginView& view) {
    const Module1State& m = Module1();
    if (m.mCountUpdates) {
        view.setText(Control::frameStatus, "0 updates found...");
    } else if (!m.m_SkipUpdateCheck) {
        showStatus(view, " - downloading/installing updates...");
    }
    view.Refresh();
}

}  // namespace

void StartUpInit(LoginView& view, const LauncherEnvironment& environment) {
    ObjectPtr KXBOInit;
    std::string LoginNotes;
    std::string mInstallFilesXML;
    StreamPtr strmInstallFiles;
    sys::MemoryStatus MS;
    Frame frame("frmLogin", "StartUpInit");
    frame.record("MS", "MEMORYSTATUS")
        .local("KXBOInit", KXBOInit)
        .local("LoginNotes", LoginNotes)
        .local("mInstallFilesXML", mInstallFilesXML)
        .local("strmInstallFiles", strmInstallFiles);
    trapped(frame, [&] {
        Module1State& m = Module1();
        frame.line(10);
        m.m_SkipUpdateCheck = false;
        m.m_SkipCustomUpdateCheck = true;
        view.setVisible(Control::frameInstall, true);
        frame.line(20);
        showInitializing(view);
        frame.line(30);
        findChosenDeployment();
        frame.line(40);
        emptyProgressBars(view);
        frame.line(50);
        InitDirectories(false, environment.folders);
        frame.line(60);
        m.m_BOServer = CStr(deploymentField("BusObjURL"));
        KXBOInit = createBusinessObject(environment);
        frame.line(70);
        logIn(*KXBOInit);
        prepareUpdateCheck(view, frame, *KXBOInit);
        frame.line(120);
        emptyProgressBars(view);
        frame.line(130);
        mInstallFilesXML = CStr(KXBOInit->call("GetInstallFilesByIDXML",
                                               {m.m_AuthLogin, deploymentField("InstallGroupID"),
                                                deploymentField("CustomInstallGroupID")}));
        frame.line(140);
        m.rsInstallList = openRowsetFromText(mInstallFilesXML, strmInstallFiles);
        frame.line(150);
        reportLoginAndLimitList(KXBOInit, LoginNotes, MS);
        frame.line(210);
        checkInstallListSignatures(environment, deploymentField("InstallGroupID"),
                                   deploymentField("CustomInstallGroupID"));
        frame.line(220);
        showRunStatus(view);
        frame.line(230);
        m.m_BOServer = Replace(m.m_BOServer, "://", "://" + m.m_AuthLogin + "@");
        frame.line(240);
        view.setEnabled(Control::tmrComInstall, true);
    });
}

}  // namespace kx::launcher

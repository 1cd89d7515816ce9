#pragma once
// The launcher's process-wide state: the module-level variables of Module1 (the shared run state
// of login, selection and install run, the directory set and the start-up switches) and the one
// variable of modRegistry. Every launcher module reads and writes these fields directly; they live
// until the process ends and are touched only on the launcher's user-interface thread.
//
// The declaration order of Module1State is the order of the global section of every crash report;
// keep it when adding fields. registerLauncherStateDump() hands both modules' variables to the
// crash capture.

#include <cstdint>
#include <memory>
#include <string>

#include "dispatch.h"
#include "recordset.h"
#include "run_time_error.h"
#include "stream.h"
#include "variant.h"

namespace kx::launcher {

using RecordsetPtr = std::shared_ptr<rowset::Recordset>;  // null is Nothing
using StreamPtr = std::shared_ptr<rowset::Stream>;        // null is Nothing
using ObjectPtr = std::shared_ptr<Dispatch>;              // null is Nothing

struct Module1State {
    std::string mLoginDesc;  // "[" + description of the chosen deployment + "]"
    std::string mFilerCode;  // the three entries, trimmed, at the last accepted Login click
    std::string mLogin;
    std::string mPassword;
    RecordsetPtr rsConfig;  // the configuration table (InitConfig)
    std::string mBaseURL;   // base URL of the remote service
    std::int16_t mNumUpdates = 0;
    bool mIsUpdateAdmin = false;
    bool mIsSharedEnvironment = false;
    std::string mWarnIfUpdates;  // "WarnIfUpdates" of the configuration, as stored
    bool mCountUpdates = false;
    std::string mLoginServersXML;
    RecordsetPtr rsServers;
    StreamPtr strmServers;
    std::string mDeploymentsXML;
    RecordsetPtr rsDeployments;
    StreamPtr strmDeployments;
    RecordsetPtr rsLogins;  // valid (server, deployment) pairs; the current row is the chosen one
    ObjectPtr mRDS;         // connector to the remote service, kept after the login
    ObjectPtr KXBOInit;     // remote service object in use during the login
    // A message-box answer (vbmsg::kYes: check for updates in this run, vbmsg::kNo: do not). Its
    // type comes from an outside type library, so the crash dump shows only a placeholder.
    std::int32_t retCheckForUpdates = 0;
    // The directory set: full folder paths without a trailing "/", empty until InitDirectories.
    std::string TempDir;
    std::string CommonDir;
    std::string BrokerDir;
    std::string ClientDir;
    std::string OstbrookDir;
    std::string KestrixDir;
    std::string SystemDir;
    std::string WindowsDir;
    std::string FontsDir;
    bool NeedRestart = false;
    std::string ProgFilesDir;
    // The current row of the install run.
    bool m_isCompressed = false;
    RecordsetPtr rsInstallList;
    std::string FileToWrite;
    std::string FileNameToWrite;
    std::string FileVersion;
    std::int16_t FileInstallType = 0;
    std::string ServerFileVersion;
    ObjectPtr m_RDS;
    bool m_IsFont = false;
    // The update decision of the chosen deployment.
    std::string m_AuthLogin;
    std::string m_BOServer;
    std::string m_DownloadLocation;
    std::string m_InstallGroupName;
    std::string m_ServerLastUpdate;
    std::string m_ClientLastUpdate;
    std::string m_CustomInstallGroupName;
    std::string m_CustomServerLastUpdate;
    std::string m_CustomClientLastUpdate;
    bool m_SkipUpdateCheck = false;
    bool m_SkipCustomUpdateCheck = false;
    bool mUseProfile = false;  // the "USEPROFILE" switch of the command line
};

struct ModRegistryState {
    bool HasAdmin = false;  // the current user may install files (set from CheckAdminRights)
};

// The object a reference points to; raises RuntimeError 91 ("Object variable or With block
// variable not set") for Nothing, as using a Nothing reference does.
template <typename T>
T& requireObject(const std::shared_ptr<T>& object) {
    if (!object) {
        raiseError(vberr::kObjectVariableNotSet);
    }
    return *object;
}

// The one instance of each module's state.
Module1State& Module1();
ModRegistryState& modRegistry();

// Resets both modules to their start values (for a fresh start within one process, as tests do).
void resetLauncherState();

// Registers the variables of "Module1" and of "modRegistry", in declaration order, with the
// crash capture's module-variable list, so that every report renders them. Idempotent.
void registerLauncherStateDump();

}  // namespace kx::launcher

namespace kx::rowset {
// How the crash dump sees row sets and text streams: objects of the type "Recordset" or "Stream",
// or Nothing.
Variant toVariant(const std::shared_ptr<Recordset>& recordset);
Variant toVariant(const std::shared_ptr<Stream>& stream);
}  // namespace kx::rowset

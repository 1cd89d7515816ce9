#pragma once
// The launcher's process-wide state: the module-level variables of Module1 (the shared run state
// of login, selection and install run, the directory set and the start-up switches) and the one
// variable of modRegistry. Every launcher module reads and writes these fields directly; they live
// until the process ends and are touched only on the launcher's user-interface thread.
//
// registerLauncherStateDump() hands both modules' variables to the crash capture.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/rowset/recordset.h"
#include "platform/rowset/stream.h"
#include "platform/runtime/dispatch.h"
#include "platform/runtime/run_time_error.h"
#include "platform/runtime/variant.h"

namespace kx::launcher {

using RecordsetPtr = std::shared_ptr<rowset::Recordset>;  // null is Nothing
using StreamPtr = std::shared_ptr<rowset::Stream>;        // null is Nothing
using ObjectPtr = std::shared_ptr<Dispatch>;              // null is Nothing

// The variables of Module1 in declaration order, which is also their order in the global section
// of every crash report. FIELD(type, name) is a member and its dump entry; EXTERNAL(type, name) is
// a member whose type comes from an outside type library, so the dump shows only a placeholder.
// A variable is added here, and nowhere else: the member and its dump entry both come from this
// list. Every member starts value-initialised (empty, 0, False, Nothing).
#define KX_MODULE1_FIELDS(FIELD, EXTERNAL)                                                         \
    FIELD(std::string, mLoginDesc) /* "[" + description of the chosen deployment + "]" */          \
    /* The three entries, trimmed, at the last accepted Login click. */                            \
    FIELD(std::string, mFilerCode)                                                                 \
    FIELD(std::string, mLogin)                                                                     \
    FIELD(std::string, mPassword)                                                                  \
    FIELD(RecordsetPtr, rsConfig) /* the configuration table (InitConfig) */                       \
    FIELD(std::string, mBaseURL)  /* base URL of the remote service */                             \
    FIELD(std::int16_t, mNumUpdates)                                                               \
    FIELD(bool, mIsUpdateAdmin)                                                                    \
    FIELD(bool, mIsSharedEnvironment)                                                              \
    FIELD(std::string, mWarnIfUpdates) /* "WarnIfUpdates" of the configuration, as stored */       \
    FIELD(bool, mCountUpdates)                                                                     \
    FIELD(std::string, mLoginServersXML)                                                           \
    FIELD(RecordsetPtr, rsServers)                                                                 \
    FIELD(StreamPtr, strmServers)                                                                  \
    FIELD(std::string, mDeploymentsXML)                                                            \
    FIELD(RecordsetPtr, rsDeployments)                                                             \
    FIELD(StreamPtr, strmDeployments)                                                              \
    /* Valid (server, deployment) pairs; the current row is the chosen one. */                     \
    FIELD(RecordsetPtr, rsLogins)                                                                  \
    FIELD(ObjectPtr, mRDS)     /* connector to the remote service, kept after the login */         \
    FIELD(ObjectPtr, KXBOInit) /* remote service object in use during the login */                 \
    /* A message-box answer: vbmsg::kYes checks for updates in this run, vbmsg::kNo does not. */   \
    EXTERNAL(std::int32_t, retCheckForUpdates)                                                     \
    /* The directory set: full folder paths without a trailing "/", empty until InitDirectories */ \
    FIELD(std::string, TempDir)                                                                    \
    FIELD(std::string, CommonDir)                                                                  \
    FIELD(std::string, BrokerDir)                                                                  \
    FIELD(std::string, ClientDir)                                                                  \
    FIELD(std::string, OstbrookDir)                                                                \
    FIELD(std::string, KestrixDir)                                                                 \
    FIELD(std::string, SystemDir)                                                                  \
    FIELD(std::string, WindowsDir)                                                                 \
    FIELD(std::string, FontsDir)                                                                   \
    FIELD(bool, NeedRestart)                                                                       \
    FIELD(std::string, ProgFilesDir)                                                               \
    /* The current row of the install run. */                                                      \
    FIELD(bool, m_isCompressed)                                                                    \
    FIELD(RecordsetPtr, rsInstallList)                                                             \
    FIELD(std::string, FileToWrite)                                                                \
    FIELD(std::string, FileNameToWrite)                                                            \
    FIELD(std::string, FileVersion)                                                                \
    FIELD(std::int16_t, FileInstallType)                                                           \
    FIELD(std::string, ServerFileVersion)                                                          \
    FIELD(ObjectPtr, m_RDS)                                                                        \
    FIELD(bool, m_IsFont)                                                                          \
    /* The update decision of the chosen deployment. */                                            \
    FIELD(std::string, m_AuthLogin)                                                                \
    FIELD(std::string, m_BOServer)                                                                 \
    FIELD(std::string, m_DownloadLocation)                                                         \
    FIELD(std::string, m_InstallGroupName)                                                         \
    FIELD(std::string, m_ServerLastUpdate)                                                         \
    FIELD(std::string, m_ClientLastUpdate)                                                         \
    FIELD(std::string, m_CustomInstallGroupName)                                                   \
    FIELD(std::string, m_CustomServerLastUpdate)                                                   \
    FIELD(std::string, m_CustomClientLastUpdate)                                                   \
    FIELD(bool, m_SkipUpdateCheck)                                                                 \
    FIELD(bool, m_SkipCustomUpdateCheck)                                                           \
    FIELD(bool, mUseProfile) /* the "USEPROFILE" switch of the command line */

struct Module1State {
#define KX_MODULE1_MEMBER(type, name) type name{};
    KX_MODULE1_FIELDS(KX_MODULE1_MEMBER, KX_MODULE1_MEMBER)
#undef KX_MODULE1_MEMBER
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

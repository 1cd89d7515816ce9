#include "launcher_state.h"

#include <vector>

#include "run_time_error.h"
#include "variable.h"
#include "variable_dump.h"

namespace kx::rowset {

namespace {

// What the dump needs of a row set or stream: its type name. The dump never calls members.
class TypeNameOnly final : public Dispatch {
  public:
    explicit TypeNameOnly(std::string typeName) : typeName_(std::move(typeName)) {}
    std::string typeName() const override { return typeName_; }
    Variant invoke(std::string_view, InvokeKind, std::vector<Variant>&) override {
        throw RuntimeError(vberr::kObjectDoesntSupportMember);
    }

  private:
    std::string typeName_;
};

template <typename T>
Variant objectOrNothing(const std::shared_ptr<T>& object, const char* typeName) {
    return object ? Variant::object(std::make_shared<TypeNameOnly>(typeName)) : Variant::nothing();
}

}  // namespace

Variant toVariant(const std::shared_ptr<Recordset>& recordset) {
    return objectOrNothing(recordset, "Recordset");
}

Variant toVariant(const std::shared_ptr<Stream>& stream) {
    return objectOrNothing(stream, "Stream");
}

}  // namespace kx::rowset

namespace kx::launcher {

Module1State& Module1() {
    static Module1State state;
    return state;
}

ModRegistryState& modRegistry() {
    static ModRegistryState state;
    return state;
}

void resetLauncherState() {
    Module1() = Module1State{};
    modRegistry() = ModRegistryState{};
}

namespace {

using crash::Variable;

std::vector<Variable> module1Variables() {
    const Module1State& s = Module1();
    return {
        Variable::of("mLoginDesc", s.mLoginDesc),
        Variable::of("mFilerCode", s.mFilerCode),
        Variable::of("mLogin", s.mLogin),
        Variable::of("mPassword", s.mPassword),
        Variable::of("rsConfig", s.rsConfig),
        Variable::of("mBaseURL", s.mBaseURL),
        Variable::of("mNumUpdates", s.mNumUpdates),
        Variable::of("mIsUpdateAdmin", s.mIsUpdateAdmin),
        Variable::of("mIsSharedEnvironment", s.mIsSharedEnvironment),
        Variable::of("mWarnIfUpdates", s.mWarnIfUpdates),
        Variable::of("mCountUpdates", s.mCountUpdates),
        Variable::of("mLoginServersXML", s.mLoginServersXML),
        Variable::of("rsServers", s.rsServers),
        Variable::of("strmServers", s.strmServers),
        Variable::of("mDeploymentsXML", s.mDeploymentsXML),
        Variable::of("rsDeployments", s.rsDeployments),
        Variable::of("strmDeployments", s.strmDeployments),
        Variable::of("rsLogins", s.rsLogins),
        Variable::of("mRDS", s.mRDS),
        Variable::of("KXBOInit", s.KXBOInit),
        Variable::externalRecord("retCheckForUpdates"),
        Variable::of("TempDir", s.TempDir),
        Variable::of("CommonDir", s.CommonDir),
        Variable::of("BrokerDir", s.BrokerDir),
        Variable::of("ClientDir", s.ClientDir),
        Variable::of("OstbrookDir", s.OstbrookDir),
        Variable::of("KestrixDir", s.KestrixDir),
        Variable::of("SystemDir", s.SystemDir),
        Variable::of("WindowsDir", s.WindowsDir),
        Variable::of("FontsDir", s.FontsDir),
        Variable::of("NeedRestart", s.NeedRestart),
        Variable::of("ProgFilesDir", s.ProgFilesDir),
        Variable::of("m_isCompressed", s.m_isCompressed),
        Variable::of("rsInstallList", s.rsInstallList),
        Variable::of("FileToWrite", s.FileToWrite),
        Variable::of("FileNameToWrite", s.FileNameToWrite),
        Variable::of("FileVersion", s.FileVersion),
        Variable::of("FileInstallType", s.FileInstallType),
        Variable::of("ServerFileVersion", s.ServerFileVersion),
        Variable::of("m_RDS", s.m_RDS),
        Variable::of("m_IsFont", s.m_IsFont),
        Variable::of("m_AuthLogin", s.m_AuthLogin),
        Variable::of("m_BOServer", s.m_BOServer),
        Variable::of("m_DownloadLocation", s.m_DownloadLocation),
        Variable::of("m_InstallGroupName", s.m_InstallGroupName),
        Variable::of("m_ServerLastUpdate", s.m_ServerLastUpdate),
        Variable::of("m_ClientLastUpdate", s.m_ClientLastUpdate),
        Variable::of("m_CustomInstallGroupName", s.m_CustomInstallGroupName),
        Variable::of("m_CustomServerLastUpdate", s.m_CustomServerLastUpdate),
        Variable::of("m_CustomClientLastUpdate", s.m_CustomClientLastUpdate),
        Variable::of("m_SkipUpdateCheck", s.m_SkipUpdateCheck),
        Variable::of("m_SkipCustomUpdateCheck", s.m_SkipCustomUpdateCheck),
        Variable::of("mUseProfile", s.mUseProfile),
    };
}

std::vector<Variable> modRegistryVariables() {
    return {Variable::of("HasAdmin", modRegistry().HasAdmin)};
}

}  // namespace

void registerLauncherStateDump() {
    crash::registerModuleVariables("Module1", module1Variables);
    crash::registerModuleVariables("modRegistry", modRegistryVariables);
}

}  // namespace kx::launcher

#include "launcher/update/update_decision.h"

#include "launcher/startup/config.h"
#include "launcher/startup/launcher_state.h"
#include "launcher/update/install_time_stamps.h"
#include "launcher/update/rowset_text.h"
#include "platform/runtime/message_box.h"
#include "platform/runtime/vb_convert.h"
#include "platform/runtime/vb_date.h"
#include "platform/runtime/vb_strings.h"

namespace kx::launcher {

namespace {

// Fetches the server's and the local stamp of a group into the given fields; true when they say
// the group is current.
bool groupIsCurrent(Dispatch& businessObject, const Variant& groupId, std::string& groupName,
                    std::string& serverStamp, std::string& clientStamp) {
    groupName = kInstallGroupPrefix + fieldText(groupId);
    serverStamp =
        CStr(businessObject.call("GetUpdateInfoLastUpdate", {Module1().m_AuthLogin, groupName}));
    clientStamp = GetClientLastUpdate(groupName);
    return stampsSayCurrent(serverStamp, clientStamp);
}

}  // namespace

void decideUpdateCheck(const std::string& checkForUpdates) {
    Module1State& m = Module1();
    m.mCountUpdates = false;
    m.mIsUpdateAdmin = false;
    if (m.mIsSharedEnvironment) {
        m.mIsUpdateAdmin = IsUpdateAdmin(m.mLogin);
        m.retCheckForUpdates = m.mIsUpdateAdmin ? vbmsg::kYes : vbmsg::kNo;
        m.mCountUpdates = !m.mIsUpdateAdmin;
        return;
    }
    const std::string wanted = UCase(checkForUpdates);
    if (wanted == "Y") {
        m.retCheckForUpdates = vbmsg::kYes;
    } else if (wanted == "N") {
        m.retCheckForUpdates = vbmsg::kNo;
    } else {
        m.retCheckForUpdates = MsgBox(kCheckForUpdatesQuestion, vbmsg::kYesNo, "") == vbmsg::kYes
                                   ? vbmsg::kYes
                                   : vbmsg::kNo;
    }
}

bool stampsSayCurrent(const std::string& serverStamp, const std::string& clientStamp) {
    const Variant server(serverStamp);
    const Variant client(clientStamp);
    if (!IsDate(server) || !IsDate(client)) {
        return false;
    }
    const auto order = compareDates(CDate(server), CDate(client));
    return order == std::partial_ordering::less || order == std::partial_ordering::equivalent;
}

bool namesInstallGroup(const Variant& groupId) {
    if (groupId.isNull() || groupId.isEmpty() ||
        (groupId.isString() && groupId.asString().empty())) {
        return false;
    }
    return CDbl(groupId) != 0;
}

void compareBrokerStamps(Dispatch& businessObject, const Variant& installGroupId,
                         const Variant& customInstallGroupId) {
    Module1State& m = Module1();
    if (namesInstallGroup(customInstallGroupId)) {
        m.m_SkipCustomUpdateCheck =
            groupIsCurrent(businessObject, customInstallGroupId, m.m_CustomInstallGroupName,
                           m.m_CustomServerLastUpdate, m.m_CustomClientLastUpdate);
    }
    // Group 0 is no group: asking the server for the stamp of "INSTALL_0" would fail the start.
    if (namesInstallGroup(installGroupId) &&
        groupIsCurrent(businessObject, installGroupId, m.m_InstallGroupName, m.m_ServerLastUpdate,
                       m.m_ClientLastUpdate)) {
        m.m_SkipUpdateCheck = m.m_SkipCustomUpdateCheck;
    }
}

}  // namespace kx::launcher

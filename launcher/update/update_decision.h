#pragma once
// The update decision of a start: whether this run checks the local installation for updates
// (retCheckForUpdates), whether it only counts outdated files (mCountUpdates), and, for a BROKER
// deployment, whether the install groups' stamps say that nothing changed since the last complete
// run (m_SkipUpdateCheck, m_SkipCustomUpdateCheck). Part of StartUpInit; these functions work on
// the launcher state of Module1 and raise run-time errors to the caller's trap.

#include <cstdint>
#include <string>

#include "platform/runtime/dispatch.h"
#include "platform/runtime/variant.h"

namespace kx::launcher {

// Sets mCountUpdates, mIsUpdateAdmin and retCheckForUpdates. On a shared machine the update
// administrator (IsUpdateAdmin(mLogin)) checks (vbmsg::kYes) and every other login only counts
// (vbmsg::kNo, mCountUpdates True). Otherwise `checkForUpdates` in upper case, not trimmed: "Y"
// checks, "N" does not, anything else asks "Do you want to check for updates now?" (Yes/No).
void decideUpdateCheck(const std::string& checkForUpdates);

// Whether an install group counts as current: both stamps are dates and the server's is not
// later than the local one. A stamp that is not a date makes the group count as changed.
bool stampsSayCurrent(const std::string& serverStamp, const std::string& clientStamp);

// Whether an install-group id field names a group: Null, Empty and "" count as 0, which means
// none. Text that is not a number raises error 13.
bool namesInstallGroup(const Variant& groupId);

// For a BROKER deployment that checks for updates: fetches the server's stamp of the custom and
// of the standard install group through `businessObject` (GetUpdateInfoLastUpdate with
// m_AuthLogin), reads the local stamps, and sets the group names, the four stamp fields,
// m_SkipCustomUpdateCheck (absent or current custom group) and m_SkipUpdateCheck (standard group
// current, and the custom group too).
void compareBrokerStamps(Dispatch& businessObject, const Variant& installGroupId,
                         const Variant& customInstallGroupId);

inline constexpr const char* kCheckForUpdatesQuestion = "Do you want to check for updates now?";

}  // namespace kx::launcher

#pragma once
// The texts the install run, the download and the cache refresh show, and the builders of those
// that carry numbers ("#,##0") or names. Line breaks are single carriage returns.

#include <cstdint>
#include <string>

namespace kx::launcher {

inline constexpr const char* kInitializationComplete = " - initialization complete";
inline constexpr const char* kProcessing = "Processing...";
inline constexpr const char* kDownloadingAndInstalling = "Downloading and Installing: ";

inline constexpr const char* kInstallErrorTitle = "INSTALLATION ERROR";
inline constexpr const char* kInstallErrorShared =
    "ERROR: The KX Vantor cannot update one or more files on this shared system.  Please close "
    "any running Kestrix applications you may have, and make sure no other users are currently "
    "using Kestrix on this shared system, then try again.";
inline constexpr const char* kInstallErrorOwnMachine =
    "ERROR: The KX Vantor cannot update one or more files on your system/machine.  Please close "
    "any running Kestrix applications, then try again.";
inline constexpr const char* kWillNowClose = "\r\rThe KX Vantor will now close.";

inline constexpr const char* kRightsErrorTitle = "Critical Error";
inline constexpr const char* kRightsError =
    "This program cannot continue.  You do not have enough rights to install files.\r\r"
    "Please contact your system administrator to give you additional rights to install "
    "programs.";

inline constexpr const char* kDownloadErrorPrefix = "There was an error downloading file ";
inline constexpr const char* kNotFoundLines =
    "\rInstallation of other files will be completed, but this may cause future errors.\r"
    "Please contact the Ostbrook technical support team about this matter.";

// A start row whose FileName names no file inside its folder; followed by the path.
inline constexpr const char* kStartErrorPrefix = "There was an error starting file ";

inline constexpr const char* kRefreshQuestion = "Refresh your KX Vantor Cache now?";
inline constexpr const char* kRefreshDone = "KX Vantor Cache successfully refreshed.";
inline constexpr const char* kRefreshFailed =
    "WARNING: There KX Vantor Cache was not successfully refreshed.  This usually occurs when you "
    "have one of the Kestrix applications (other than the Vantor itself) still running.\r\r"
    "Please make sure there are no other Kestrix applications running, wait a minute, then try "
    "refreshing again.";

// "3 updates found...", "1 update found...".
std::string updatesFoundCaption(std::int16_t count);
// The update administrator's summary at the start row.
std::string updateSummary(const std::string& loginDesc, std::int16_t count);
// The warning of other logins at the start row; `warnSetting` "A" adds the line for the
// administrator.
std::string updateWarning(std::int16_t count, const std::string& warnSetting);
// "12k of 40k": the byte counts in kilobytes, rounded half to even.
std::string bytesCaption(std::int64_t received, std::int64_t announced);

}  // namespace kx::launcher

#pragma once
// Where error reports are posted: one setting holding a full http:// or https:// URL.
//
//   1. the environment variable KX_ERROR_REPORT_URL, when set and not empty (for tests and
//      one-off runs);
//   2. else the machine registry value HKEY_LOCAL_MACHINE\SOFTWARE\Kestrix\ZNErrHandler
//      "ReportURL", when present and not empty;
//   3. else the vendor's web server, kDefaultReportUrl, over https: the report carries the
//      machine's particulars, so by default it travels encrypted to a verified host. A plain
//      http:// address stays possible through the two settings above.
//
// The URL is used as given: one that cannot be requested makes the report fail as undelivered,
// with the reason in the transfer's LastError.

#include <string>

namespace kx::errhandler {

inline constexpr const char* kDefaultReportUrl = "https://www.kestrix.com/GenErrorReport.asp";
inline constexpr const char* kReportUrlVariable = "KX_ERROR_REPORT_URL";
inline constexpr const char* kReportUrlKey = "SOFTWARE\\Kestrix\\ZNErrHandler";
inline constexpr const char* kReportUrlValue = "ReportURL";

std::string errorReportUrl();

}  // namespace kx::errhandler

#pragma once
// Sending later: the reports of the spool (report_spool.h) that were not delivered, posted again
// as they were kept, through the library's transfer engine with the report's own address, TLS and
// proxy rules (ReportSettings).
//
// A round applies the spool's caps, then posts the reports that are due, oldest first, at most
// kReportsPerRound of them. It stops at the first post that gets no HTTP answer at all: with the
// server out of reach, the others would fare no better. A report is due once the time since its
// last attempt reaches a tenth of its age, at least kMinRetrySeconds and at most kMaxRetrySeconds:
// a report that was just tried is left alone (its writer may still be posting it), and one that
// keeps failing for days is tried a few times a day.
//
// Each post ends the report's file as the answer says: an answer that holds "1" (delivered), or
// a 4xx status other than 408 and 429 (refused for good; a line in the debug log), removes it;
// anything else (no answer, 408, 429, 5xx, a 2xx answer without "1") keeps it for a later round.
// A file another process holds is skipped; one whose content is not a report body carrying the
// id of its name is removed.

#include <cstdint>
#include <string_view>

#include "errhandler/report/report_run.h"
#include "errhandler/report/report_spool.h"

namespace kx::errhandler {

inline constexpr int kReportsPerRound = 10;
inline constexpr std::int64_t kMinRetrySeconds = 5;
inline constexpr std::int64_t kMaxRetrySeconds = 6 * 60 * 60;

bool reportDue(const SpoolEntry& entry, std::int64_t now);

enum class SpooledOutcome { Delivered, Refused, Kept };
// What the server's `answer` (the body) and `statusCode` (-1 without an HTTP answer) mean for a
// spooled report.
SpooledOutcome outcomeOfPost(std::string_view answer, std::int32_t statusCode);

// One round over `spool` at the time `now`; the number of reports delivered.
int sendSpooledReports(ReportSpool& spool, const ReportSettings& settings, std::int64_t now);

}  // namespace kx::errhandler

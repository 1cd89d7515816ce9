#include "errhandler/report/spooled_sending.h"

#include <algorithm>

#include "errhandler/http/url_encode.h"
#include "platform/runtime/debug_log.h"

namespace kx::errhandler {

namespace {

constexpr std::int32_t kRequestTimeout = 408;
constexpr std::int32_t kTooManyRequests = 429;

// A kept body must be the report of its name: the form's last field is its id.
bool isReportBodyOf(const std::string& body, const ReportIdentity& identity) {
    return body.ends_with("&" + std::string(kReportIdField) + "=" + URLEncode(identity.id));
}

}  // namespace

bool reportDue(const SpoolEntry& entry, std::int64_t now) {
    const std::int64_t age = std::max<std::int64_t>(now - entry.identity.createdAt, 0);
    const std::int64_t wait = std::clamp(age / 10, kMinRetrySeconds, kMaxRetrySeconds);
    return now - entry.lastAttempt >= wait;
}

SpooledOutcome outcomeOfPost(std::string_view answer, std::int32_t statusCode) {
    if (reportDelivered(answer)) {
        return SpooledOutcome::Delivered;
    }
    const bool refused = statusCode >= 400 && statusCode < 500 && statusCode != kRequestTimeout &&
                         statusCode != kTooManyRequests;
    return refused ? SpooledOutcome::Refused : SpooledOutcome::Kept;
}

int sendSpooledReports(ReportSpool& spool, const ReportSettings& settings, std::int64_t now) {
    int posted = 0;
    int delivered = 0;
    for (const SpoolEntry& entry : spool.prunedEntries(now)) {
        if (posted == kReportsPerRound) {
            break;
        }
        std::optional<LockedReport> report;
        if (!reportDue(entry, now) || !(report = spool.lock(entry)) ||
            !reportDue(report->entry(), now)) {
            continue;  // not yet, or another holder has it (or had it a moment ago)
        }
        const auto body = report->read(spool.limits().maxBytes);
        if (!body || !isReportBodyOf(*body, entry.identity)) {
            report->remove("it is no report body of its name");
            continue;
        }
        ++posted;
        HTTPTransfer transfer(settings.transfer);
        const std::string answer = transfer.PostFormBody(settings.url, *body);
        const std::int32_t status = transfer.engine().StatusCode;
        switch (outcomeOfPost(answer, status)) {
            case SpooledOutcome::Delivered:
                report->remove("delivered");
                ++delivered;
                break;
            case SpooledOutcome::Refused:
                report->remove(("the server refused it for good: " + transfer.LastError).c_str());
                break;
            case SpooledOutcome::Kept:
                report->keep(now);
                if (status == -1) {
                    return delivered;  // the server is out of reach: leave the rest for later
                }
                break;
        }
    }
    return delivered;
}

}  // namespace kx::errhandler

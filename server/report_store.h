#pragma once
// The error reports the server received, kept in the catalog under a cap on the bytes of their
// fields. A stored report is never dropped to make room for a new one: a report that does not fit
// is refused, and reports leave only by age (removeReceivedBefore) or by hand. A report counts as
// stored only once it is on disk. A report that carries an id (its field "ReportId", a UUID) is
// stored once: the same id sent again (a report whose answer was lost, sent again) counts as
// stored and adds nothing. A report without one, or with an id that is no UUID, is stored each
// time it comes.
//
// A store works on its catalog's connection and is no more safe for concurrent use than the
// catalog; every failure of the file throws CatalogError.

#include <cstdint>
#include <limits>
#include <optional>
#include <ostream>
#include <string>

#include "server/form_decoding.h"
#include "server/sqlite_db.h"
#include "server/support/store/report_fields.h"

namespace kx::server {

enum class ReportAdmission {
    Stored,
    StoreFull,      // it would take the store past its cap
    TooLarge,       // it is larger than the cap itself
    StoredAlready,  // a report with its id was stored before: nothing added
};

// The form field a report's id comes in.
inline constexpr const char* kReportIdField = "ReportId";

// One stored report.
struct StoredReport {
    std::int64_t id = 0;
    std::string receivedAt;  // "yyyy-mm-ddThh:mm:ss" UTC
    std::string clientAddress;
    support::ReportFields fields;         // in arrival order
    std::optional<std::string> reportId;  // its "ReportId" (lower-cased), when it came with one
};

// A report as one JSON object, the form `kxserver reports` lists: its "reportId" is null for a
// report sent without one; a field sent more than once keeps every value, joined by a line break.
std::string reportLine(const StoredReport& report);

class ReportStore {
  public:
    explicit ReportStore(Database& db) : db_(db) {}

    // Stores a report (its fields in arrival order), filed under its group (report_groups.h),
    // when the store stays within `storeLimit` bytes with it and its id is not stored already;
    // otherwise stores nothing.
    ReportAdmission add(const FormFields& fields, const std::string& clientAddress,
                        std::int64_t now,
                        std::uint64_t storeLimit = std::numeric_limits<std::uint64_t>::max());
    // Removes the reports received before `before` (seconds since 1970); how many there were.
    std::int64_t removeReceivedBefore(std::int64_t before);
    // The most days an age of reports to remove may count.
    static constexpr std::int64_t kMaxAgeDays = 100'000;
    // The time `days` days before `now` (seconds since 1970).
    static std::int64_t daysBefore(std::int64_t now, std::int64_t days) {
        return now - days * 24 * 3600;
    }
    // One reportLine() per line, oldest first (catalog_listing.h).
    void writeAll(std::ostream& out);
    std::optional<StoredReport> find(std::int64_t id);

  private:
    bool storedAlready(const std::string& id);
    std::uint64_t storedBytes();
    std::uint64_t countStoredBytes();

    Database& db_;
};

}  // namespace kx::server

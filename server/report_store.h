#pragma once
// The error reports the server received, kept in the catalog under a cap: when the stored reports
// (the bytes of their fields) would exceed it, the oldest are dropped first. A report counts as
// stored only once it is on disk.
//
// A store works on its catalog's connection and is no more safe for concurrent use than the
// catalog; every failure of the file throws CatalogError.

#include <cstdint>
#include <limits>
#include <optional>
#include <ostream>
#include <string>

#include "form_decoding.h"
#include "report_fields.h"
#include "sqlite_db.h"

namespace kx::server {

// The oldest reports removed to keep the report store under its cap.
struct DroppedReports {
    std::int64_t count = 0;
    std::uint64_t bytes = 0;
};

// One stored report.
struct StoredReport {
    std::int64_t id = 0;
    std::string receivedAt;  // "yyyy-mm-ddThh:mm:ss" UTC
    std::string clientAddress;
    support::ReportFields fields;  // in arrival order
};

// A report as one JSON object, the form `kxserver reports` lists: a field sent more than once
// keeps every value, joined by a line break.
std::string reportLine(const StoredReport& report);

class ReportStore {
  public:
    explicit ReportStore(Database& db) : db_(db) {}

    // Stores a report (its fields in arrival order), filed under its group (report_groups.h), in
    // one transaction with the drop of the oldest reports that makes room for it under
    // `storeLimit`.
    DroppedReports add(const FormFields& fields, const std::string& clientAddress, std::int64_t now,
                       std::uint64_t storeLimit = std::numeric_limits<std::uint64_t>::max());
    // One reportLine() per line, oldest first (catalog_listing.h).
    void writeAll(std::ostream& out);
    std::optional<StoredReport> find(std::int64_t id);

  private:
    std::uint64_t storedBytes();
    DroppedReports dropOldest(std::uint64_t bytesToFree);

    Database& db_;
};

}  // namespace kx::server

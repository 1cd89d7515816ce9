#pragma once
// The error reports the server received, kept in the catalog under a cap: when the stored reports
// (the bytes of their fields) would exceed it, the oldest are dropped first. A report counts as
// stored only once it is on disk. A report that carries an id (its field "ReportId", a UUID) is
// stored once: the same id sent again (a report whose answer was lost, sent again) counts as
// stored and adds nothing. A report without one, or with an id that is no UUID, is stored each
// time it comes.
//
// A store works on its catalog's connection and is no more safe for concurrent use than the
// catalog; every failure of the file throws CatalogError.

#include <cstdint>
#include <limits>
#include <ostream>
#include <string>

#include "form_decoding.h"
#include "sqlite_db.h"

namespace kx::server {

// The oldest reports removed to keep the report store under its cap.
struct DroppedReports {
    std::int64_t count = 0;
    std::uint64_t bytes = 0;
};

// What add() did: stored the report (making room for it), or found its id stored already.
struct AddedReport {
    bool storedBefore = false;
    DroppedReports dropped;
};

// The form field a report's id comes in.
inline constexpr const char* kReportIdField = "ReportId";

class ReportStore {
  public:
    explicit ReportStore(Database& db) : db_(db) {}

    // Stores a report (its fields in arrival order) in one transaction with the drop of the
    // oldest reports that makes room for it under `storeLimit`, unless its id is stored already.
    AddedReport add(const FormFields& fields, const std::string& clientAddress, std::int64_t now,
                    std::uint64_t storeLimit = std::numeric_limits<std::uint64_t>::max());
    // One JSON object per line, oldest first (catalog_listing.h), with the report's id
    // ("reportId", null for none); a field sent more than once keeps every value, joined by a
    // line break.
    void writeAll(std::ostream& out);

  private:
    bool storedAlready(const std::string& id);
    std::uint64_t storedBytes();
    DroppedReports dropOldest(std::uint64_t bytesToFree);

    Database& db_;
};

}  // namespace kx::server

#include "server/support/store/support_tables.h"

#include "server/support/store/report_fingerprint.h"
#include "server/support/store/report_groups.h"

namespace kx::server::support {

namespace {

// The groups keep their counts through triggers, so that every way of removing a report (the
// store's cap, pruning, an administrator's SQL) leaves them right. The counts of versions add up
// to the count of their group, so a group that reaches zero has no versions left either.
constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS report_groups(
  id INTEGER PRIMARY KEY,
  fingerprint TEXT NOT NULL UNIQUE,
  rules INTEGER NOT NULL,
  project TEXT NOT NULL,
  error_number TEXT NOT NULL,
  module TEXT NOT NULL,
  routine TEXT NOT NULL,
  line_number TEXT NOT NULL,
  description TEXT NOT NULL,
  report_count INTEGER NOT NULL DEFAULT 0,
  first_seen TEXT NOT NULL,
  last_seen TEXT NOT NULL,
  last_report_id INTEGER NOT NULL);
CREATE INDEX IF NOT EXISTS report_groups_by_activity ON report_groups(last_report_id);
CREATE TABLE IF NOT EXISTS report_group_members(
  report_id INTEGER PRIMARY KEY,
  group_id INTEGER NOT NULL REFERENCES report_groups(id),
  version TEXT NOT NULL);
CREATE INDEX IF NOT EXISTS report_group_members_by_group
  ON report_group_members(group_id, report_id);
CREATE TABLE IF NOT EXISTS report_group_versions(
  group_id INTEGER NOT NULL REFERENCES report_groups(id),
  version TEXT NOT NULL,
  report_count INTEGER NOT NULL,
  last_report_id INTEGER NOT NULL,
  PRIMARY KEY(group_id, version)) WITHOUT ROWID;
CREATE TRIGGER IF NOT EXISTS report_group_member_added AFTER INSERT ON report_group_members
BEGIN
  UPDATE report_groups SET report_count = report_count + 1 WHERE id = NEW.group_id;
  INSERT INTO report_group_versions(group_id, version, report_count, last_report_id)
    VALUES(NEW.group_id, NEW.version, 1, NEW.report_id)
    ON CONFLICT(group_id, version) DO UPDATE SET report_count = report_count + 1,
      last_report_id = MAX(last_report_id, excluded.last_report_id);
END;
CREATE TRIGGER IF NOT EXISTS report_group_member_removed AFTER DELETE ON report_group_members
BEGIN
  UPDATE report_group_versions SET report_count = report_count - 1
    WHERE group_id = OLD.group_id AND version = OLD.version;
  DELETE FROM report_group_versions
    WHERE group_id = OLD.group_id AND version = OLD.version AND report_count <= 0;
  UPDATE report_groups SET report_count = report_count - 1 WHERE id = OLD.group_id;
  DELETE FROM report_groups WHERE id = OLD.group_id AND report_count <= 0;
END;
CREATE TRIGGER IF NOT EXISTS error_report_removed AFTER DELETE ON error_reports
BEGIN
  DELETE FROM report_group_members WHERE report_id = OLD.id;
END;
CREATE TABLE IF NOT EXISTS support_users(
  id INTEGER PRIMARY KEY,
  login TEXT NOT NULL UNIQUE COLLATE NOCASE,
  password_hash TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS support_sessions(
  token_digest TEXT PRIMARY KEY,
  user_id INTEGER NOT NULL REFERENCES support_users(id),
  last_used INTEGER NOT NULL);
)sql";

// The last object the schema makes: when it exists, the others do.
constexpr const char* kLastObject = "support_sessions";

bool schemaInPlace(sqlite::Database& db) {
    auto row = db.prepare("SELECT 1 FROM sqlite_master WHERE name = ?");
    row.bind(1, kLastObject);
    return row.step();
}

bool groupsUnderOtherRules(sqlite::Database& db) {
    auto row = db.prepare("SELECT 1 FROM report_groups WHERE rules <> ? LIMIT 1");
    row.bind(1, kGroupingRules);
    return row.step();
}

// Reports are filed in the order they are stored, so the ones without a group are those after
// the last one filed.
std::int64_t lastFiledReport(sqlite::Database& db) {
    auto row = db.prepare("SELECT COALESCE(MAX(report_id), 0) FROM report_group_members");
    row.step();
    return row.integer(0);
}

bool reportsAfter(sqlite::Database& db, std::int64_t id) {
    auto row = db.prepare("SELECT 1 FROM error_reports WHERE id > ? LIMIT 1");
    row.bind(1, id);
    return row.step();
}

bool needsWork(sqlite::Database& db) {
    return !schemaInPlace(db) || groupsUnderOtherRules(db) || reportsAfter(db, lastFiledReport(db));
}

void fileReportsAfter(sqlite::Database& db, std::int64_t id) {
    ReportGroups groups(db);
    auto rows =
        db.prepare("SELECT id, received_at, fields FROM error_reports WHERE id > ? ORDER BY id");
    rows.bind(1, id);
    while (rows.step()) {
        groups.add(rows.integer(0), rows.text(1), storedFields(rows.text(2)));
    }
}

}  // namespace

void prepareSupportTables(sqlite::Database& db) {
    if (!needsWork(db)) {
        return;
    }
    sqlite::inTransaction(db, [&] {
        db.exec(kSchema);
        if (groupsUnderOtherRules(db)) {
            // The triggers empty the groups as their members go.
            db.exec("DELETE FROM report_group_members");
        }
        fileReportsAfter(db, lastFiledReport(db));
    });
}

}  // namespace kx::server::support

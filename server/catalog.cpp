#include "server/catalog.h"

#include <algorithm>
#include <ctime>
#include <set>
#include <stdexcept>

#include "platform/text/ascii_text.h"
#include "platform/text/utc_time_text.h"
#include "server/catalog_settings.h"
#include "server/list_signing.h"
#include "server/password.h"
#include "server/support/store/support_tables.h"

namespace kx::server {

namespace {

constexpr const char* kSchema = R"sql(
CREATE TABLE settings(key TEXT PRIMARY KEY, value TEXT NOT NULL);
CREATE TABLE users(
  id INTEGER PRIMARY KEY,
  filer_code TEXT NOT NULL COLLATE NOCASE,
  login TEXT NOT NULL COLLATE NOCASE,
  password_hash TEXT NOT NULL,
  UNIQUE(filer_code, login));
CREATE TABLE login_servers(
  id INTEGER PRIMARY KEY,
  name TEXT NOT NULL,
  bus_obj_path TEXT NOT NULL UNIQUE);
CREATE TABLE install_groups(id INTEGER PRIMARY KEY, last_update TEXT NOT NULL);
CREATE TABLE deployments(
  id INTEGER PRIMARY KEY,
  type TEXT NOT NULL,
  description TEXT NOT NULL,
  bus_obj_path TEXT NOT NULL,
  deploy_folder TEXT NOT NULL,
  check_for_updates TEXT NOT NULL,
  install_group_id INTEGER NOT NULL,
  custom_install_group_id INTEGER NOT NULL);
CREATE TABLE grants(
  user_id INTEGER NOT NULL REFERENCES users(id),
  deployment_id INTEGER NOT NULL REFERENCES deployments(id),
  PRIMARY KEY(user_id, deployment_id));
CREATE TABLE install_files(
  id INTEGER PRIMARY KEY,
  group_id INTEGER NOT NULL REFERENCES install_groups(id),
  file_name TEXT NOT NULL,
  sequence_id INTEGER NOT NULL,
  install_type INTEGER NOT NULL,
  file_version TEXT NOT NULL,
  alt_check_reg_value TEXT NOT NULL,
  alt_check TEXT NOT NULL,
  description TEXT NOT NULL,
  is_compressed INTEGER NOT NULL,
  download_location TEXT NOT NULL,
  install_location TEXT NOT NULL,
  sha256 TEXT NOT NULL DEFAULT '',
  patches TEXT NOT NULL DEFAULT '');
CREATE TABLE file_versions(
  id INTEGER PRIMARY KEY,
  group_id INTEGER NOT NULL,
  file_name TEXT NOT NULL,
  sha256 TEXT NOT NULL);
CREATE TABLE tokens(
  token TEXT PRIMARY KEY,
  user_id INTEGER NOT NULL REFERENCES users(id),
  deployment_id INTEGER NOT NULL REFERENCES deployments(id),
  bus_obj_path TEXT NOT NULL,
  is_client INTEGER NOT NULL,
  ip_text TEXT NOT NULL,
  expires_at INTEGER NOT NULL);
CREATE TABLE login_notes(
  id INTEGER PRIMARY KEY,
  written_at TEXT NOT NULL,
  client_address TEXT NOT NULL,
  filer_code TEXT NOT NULL,
  login TEXT NOT NULL,
  deployment_id INTEGER NOT NULL,
  ip_text TEXT NOT NULL,
  notes TEXT NOT NULL);
CREATE TABLE error_reports(
  id INTEGER PRIMARY KEY,
  received_at TEXT NOT NULL,
  client_address TEXT NOT NULL,
  fields TEXT NOT NULL,
  report_id TEXT);
CREATE UNIQUE INDEX error_reports_report_id ON error_reports(report_id);
)sql";

// What brings a catalog of each older version up to the next one: the catalog's version (SQLite's
// user_version) is the number of steps it has had. A catalog made by create() has them all.
constexpr const char* kUpgrades[] = {
    // 1: the id a report is sent with, stored once
    R"sql(ALTER TABLE error_reports ADD COLUMN report_id TEXT;
CREATE UNIQUE INDEX error_reports_report_id ON error_reports(report_id);)sql",
    // 2: the patches a row offers, and the versions of each file kept to make them from
    R"sql(ALTER TABLE install_files ADD COLUMN patches TEXT NOT NULL DEFAULT '';
CREATE TABLE file_versions(
  id INTEGER PRIMARY KEY,
  group_id INTEGER NOT NULL,
  file_name TEXT NOT NULL,
  sha256 TEXT NOT NULL);)sql",
};
constexpr std::int64_t kCatalogVersion = std::size(kUpgrades);

std::int64_t catalogVersion(Database& db) {
    auto query = db.prepare("PRAGMA user_version");
    query.step();
    return query.integer(0);
}

void setCatalogVersion(Database& db, std::int64_t version) {
    db.exec("PRAGMA user_version = " + std::to_string(version));
}

// Runs the steps a catalog opened from an older version lacks, all or none. The version is read
// again inside the transaction, so that two processes opening one old catalog upgrade it once.
void upgrade(Database& db) {
    if (catalogVersion(db) >= kCatalogVersion) {
        return;
    }
    inTransaction(db, [&] {
        for (std::int64_t step = catalogVersion(db); step < kCatalogVersion; ++step) {
            db.exec(kUpgrades[step]);
        }
        setCatalogVersion(db, kCatalogVersion);
    });
}

// The cost new password hashes are made at, and that stored ones are upgraded to at login.
constexpr const char* kPasswordMemoryKey = "password_memory_kib";
constexpr const char* kPasswordPassesKey = "password_passes";

constexpr const char* kDeploymentColumns =
    "d.id, d.type, d.description, d.bus_obj_path, d.deploy_folder, d.check_for_updates, "
    "d.install_group_id, d.custom_install_group_id";

Deployment readDeployment(const Statement& row) {
    Deployment d;
    d.id = row.integer(0);
    d.type = row.text(1);
    d.description = row.text(2);
    d.busObjPath = row.text(3);
    d.deployFolder = row.text(4);
    d.checkForUpdates = row.text(5);
    d.installGroupId = row.integer(6);
    d.customInstallGroupId = row.integer(7);
    return d;
}

std::vector<Deployment> readDeployments(Statement& query) {
    std::vector<Deployment> result;
    while (query.step()) {
        result.push_back(readDeployment(query));
    }
    return result;
}

void requireText(const std::string& value, const char* what) {
    if (value.empty()) {
        throw std::invalid_argument(std::string(what) + " must not be empty");
    }
}

}  // namespace

void validateBusObjPath(const std::string& path) {
    const bool badChar = std::any_of(path.begin(), path.end(), [](unsigned char c) {
        return c < 0x20 || c == 0x7F || c == '\\' || c == '?' || c == '#' || c == ' ';
    });
    if (path.empty() || path.front() != '/' || badChar || path.find("..") != std::string::npos ||
        path.find("//") != std::string::npos || (path.size() > 1 && path.back() == '/') ||
        path.size() > 400) {
        throw std::invalid_argument("invalid business-object path \"" + path +
                                    "\": expected a path such as /bo/server1");
    }
}

std::string isoTimestamp(std::int64_t unixSeconds) {
    return utcTimeText(unixSeconds);
}

std::filesystem::path Catalog::fileIn(const std::filesystem::path& dir) {
    return dir / "catalog.sqlite";
}

void Catalog::create(const std::filesystem::path& dir, const PasswordCost& passwordCost) {
    std::filesystem::create_directories(dir);
    if (std::filesystem::exists(fileIn(dir))) {
        throw std::invalid_argument("a catalog exists already in " + dir.string());
    }
    Catalog catalog(dir, true, Database::kDefaultBusyTimeout);
    catalog.useWriteAheadLog();
    inTransaction(catalog.db_, [&] {
        catalog.db_.exec(kSchema);
        setCatalogVersion(catalog.db_, kCatalogVersion);
        catalog.writePasswordCost(passwordCost);
        catalog.sessions_.setTokenLifetimeSeconds(SessionStore::kDefaultTokenLifetimeSeconds);
    });
    support::prepareSupportTables(catalog.db_);
}

Catalog::Catalog(const std::filesystem::path& dir, std::chrono::milliseconds busyTimeout)
    : Catalog(dir, false, busyTimeout) {
    upgrade(db_);
    support::prepareSupportTables(db_);
}

Catalog::Catalog(const std::filesystem::path& dir, bool create,
                 std::chrono::milliseconds busyTimeout)
    : dir_(dir), db_(fileIn(dir).string(), create, busyTimeout) {}

void Catalog::useWriteAheadLog() {
    db_.exec("PRAGMA journal_mode = WAL; PRAGMA synchronous = FULL");
}

std::int64_t Catalog::addUser(const std::string& filerCode, const std::string& login,
                              const std::string& password) {
    requireText(filerCode, "Filer Code");
    requireText(login, "Login");
    if (findUser(filerCode, login)) {
        throw std::invalid_argument("user " + filerCode + "/" + login + " exists already");
    }
    db_.prepare("INSERT INTO users(filer_code, login, password_hash) VALUES(?, ?, ?)")
        .bind(1, ascii::upperCase(filerCode))
        .bind(2, ascii::upperCase(login))
        .bind(3, hashNewPassword(password))
        .run();
    return db_.lastInsertId();
}

PasswordCost Catalog::passwordCost() {
    // A catalog made before the settings existed takes the default. A value that cannot be read
    // is never replaced by a guess: a lower one would weaken new hashes without anyone noticing.
    const auto setting = [&](const char* key, std::uint32_t fallback, std::uint32_t min,
                             std::uint32_t max) {
        return readSetting(db_, key)
                   ? static_cast<std::uint32_t>(requiredNumberSetting(db_, key, min, max))
                   : fallback;
    };
    return {setting(kPasswordMemoryKey, kDefaultPasswordCost.memoryKiB, kMinPasswordCost.memoryKiB,
                    kMaxPasswordCost.memoryKiB),
            setting(kPasswordPassesKey, kDefaultPasswordCost.passes, kMinPasswordCost.passes,
                    kMaxPasswordCost.passes)};
}

void Catalog::setPasswordCost(const PasswordCost& cost) {
    inTransaction(db_, [&] { writePasswordCost(cost); });
}

void Catalog::writePasswordCost(const PasswordCost& cost) {
    if (!cost.inRange()) {
        throw std::invalid_argument("the password cost must lie between " +
                                    std::to_string(kMinPasswordCost.memoryKiB) + " and " +
                                    std::to_string(kMaxPasswordCost.memoryKiB) + " KiB and " +
                                    std::to_string(kMinPasswordCost.passes) + " to " +
                                    std::to_string(kMaxPasswordCost.passes) + " passes");
    }
    writeSetting(db_, kPasswordMemoryKey, std::to_string(cost.memoryKiB));
    writeSetting(db_, kPasswordPassesKey, std::to_string(cost.passes));
}

bool Catalog::replacePasswordHash(std::int64_t userId, const std::string& oldHash,
                                  const std::string& newHash) {
    db_.prepare("UPDATE users SET password_hash = ? WHERE id = ? AND password_hash = ?")
        .bind(1, newHash)
        .bind(2, userId)
        .bind(3, oldHash)
        .run();
    return db_.changes() > 0;
}

std::string Catalog::hashNewPassword(const std::string& password) {
    requireText(password, "Password");
    return hashPassword(password, passwordCost());
}

void Catalog::addLoginServer(const std::string& name, const std::string& busObjPath) {
    requireText(name, "server name");
    validateBusObjPath(busObjPath);
    db_.prepare("INSERT INTO login_servers(name, bus_obj_path) VALUES(?, ?)")
        .bind(1, name)
        .bind(2, busObjPath)
        .run();
}

std::int64_t Catalog::addDeployment(Deployment d) {
    if (d.type != "BROKER" && d.type != "CLIENT") {
        throw std::invalid_argument("deployment type must be BROKER or CLIENT");
    }
    requireText(d.description, "deployment description");
    validateBusObjPath(d.busObjPath);
    if (d.id < 0 || d.installGroupId < 0 || d.customInstallGroupId < 0) {
        throw std::invalid_argument("ids must not be negative");
    }
    inTransaction(db_, [&] {
        auto insert = db_.prepare(
            "INSERT INTO deployments(id, type, description, bus_obj_path, deploy_folder, "
            "check_for_updates, install_group_id, custom_install_group_id) "
            "VALUES(?, ?, ?, ?, ?, ?, ?, ?)");
        if (d.id == 0) {
            insert.bindNull(1);
        } else {
            insert.bind(1, d.id);
        }
        insert.bind(2, d.type).bind(3, d.description).bind(4, d.busObjPath);
        insert.bind(5, d.deployFolder).bind(6, d.checkForUpdates);
        insert.bind(7, d.installGroupId).bind(8, d.customInstallGroupId).run();
        d.id = db_.lastInsertId();
        const std::string now = isoTimestamp(std::time(nullptr));
        std::set<std::int64_t> created;
        for (std::int64_t group : {d.installGroupId, d.customInstallGroupId}) {
            if (group != 0 && ensureInstallGroup(group, now)) {
                created.insert(group);
            }
        }
        signGroupLists(*this, created);
    });
    return d.id;
}

std::int64_t Catalog::userId(const std::string& filerCode, const std::string& login) {
    const auto user = findUser(filerCode, login);
    if (!user) {
        throw std::invalid_argument("no user " + filerCode + "/" + login);
    }
    return user->id;
}

void Catalog::grant(const std::string& filerCode, const std::string& login,
                    std::int64_t deploymentId) {
    const std::int64_t user = userId(filerCode, login);
    if (!deployment(deploymentId)) {
        throw std::invalid_argument("no deployment " + std::to_string(deploymentId));
    }
    db_.prepare("INSERT OR IGNORE INTO grants(user_id, deployment_id) VALUES(?, ?)")
        .bind(1, user)
        .bind(2, deploymentId)
        .run();
}

bool Catalog::ensureInstallGroup(std::int64_t groupId, const std::string& stamp) {
    if (groupId <= 0) {
        throw std::invalid_argument("install group ids are positive numbers");
    }
    db_.prepare("INSERT OR IGNORE INTO install_groups(id, last_update) VALUES(?, ?)")
        .bind(1, groupId)
        .bind(2, stamp)
        .run();
    return db_.changes() > 0;
}

void Catalog::setGroupStamp(std::int64_t groupId, const std::string& stamp) {
    db_.prepare("UPDATE install_groups SET last_update = ? WHERE id = ?")
        .bind(1, stamp)
        .bind(2, groupId)
        .run();
    if (db_.changes() == 0) {
        throw std::invalid_argument("no install group " + std::to_string(groupId));
    }
}

void Catalog::putInstallFile(std::int64_t groupId, const InstallFile& file) {
    putInstallFiles(groupId, {file});
}

void Catalog::putInstallFiles(std::int64_t groupId, const std::vector<InstallFile>& files) {
    for (const InstallFile& file : files) {
        requireText(file.fileName, "FileName");
    }
    inTransaction(db_, [&] {
        for (const InstallFile& file : files) {
            replaceInstallFile(groupId, file);
        }
        signGroupLists(*this, {groupId});
    });
}

void Catalog::replaceInstallFile(std::int64_t groupId, const InstallFile& f) {
    db_.prepare(
           "DELETE FROM install_files WHERE group_id = ? AND file_name = ? AND "
           "(sequence_id >= ?3) = ?4")
        .bind(1, groupId)
        .bind(2, f.fileName)
        .bind(3, kStartRowSequence)
        .bind(4, std::int64_t{f.sequenceId >= kStartRowSequence ? 1 : 0})
        .run();
    auto insert = db_.prepare(
        "INSERT INTO install_files(group_id, file_name, sequence_id, install_type, "
        "file_version, alt_check_reg_value, alt_check, description, is_compressed, "
        "download_location, install_location, sha256, patches) "
        "VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    insert.bind(1, groupId).bind(2, f.fileName).bind(3, f.sequenceId).bind(4, f.installType);
    insert.bind(5, f.fileVersion).bind(6, f.altCheckRegValue).bind(7, f.altCheck);
    insert.bind(8, f.description).bind(9, f.isCompressed).bind(10, f.downloadLocation);
    insert.bind(11, f.installLocation).bind(12, f.sha256).bind(13, f.patches).run();
}

std::vector<std::string> Catalog::keptVersions(std::int64_t groupId, const std::string& fileName) {
    auto query = db_.prepare(
        "SELECT sha256 FROM file_versions WHERE group_id = ? AND file_name = ? ORDER BY id DESC");
    query.bind(1, groupId).bind(2, fileName);
    std::vector<std::string> versions;
    while (query.step()) {
        versions.push_back(query.text(0));
    }
    return versions;
}

std::vector<std::string> Catalog::keepVersion(std::int64_t groupId, const std::string& fileName,
                                              const std::string& sha256, std::size_t keep) {
    std::vector<std::string> dropped;
    inTransaction(db_, [&] {
        db_.prepare("DELETE FROM file_versions WHERE group_id = ? AND file_name = ? AND sha256 = ?")
            .bind(1, groupId)
            .bind(2, fileName)
            .bind(3, sha256)
            .run();
        db_.prepare("INSERT INTO file_versions(group_id, file_name, sha256) VALUES(?, ?, ?)")
            .bind(1, groupId)
            .bind(2, fileName)
            .bind(3, sha256)
            .run();
        const std::vector<std::string> kept = keptVersions(groupId, fileName);
        for (std::size_t i = keep; i < kept.size(); ++i) {
            db_.prepare(
                   "DELETE FROM file_versions WHERE group_id = ? AND file_name = ? AND sha256 = ?")
                .bind(1, groupId)
                .bind(2, fileName)
                .bind(3, kept[i])
                .run();
            auto users =
                db_.prepare("SELECT COUNT(*) FROM file_versions WHERE group_id = ? AND sha256 = ?");
            users.bind(1, groupId).bind(2, kept[i]);
            users.step();
            if (users.integer(0) == 0) {
                dropped.push_back(kept[i]);
            }
        }
    });
    return dropped;
}

std::int64_t Catalog::nextSequenceId(std::int64_t groupId) {
    auto query = db_.prepare(
        "SELECT COALESCE(MAX(sequence_id), 0) FROM install_files WHERE group_id = ? AND "
        "sequence_id < ?");
    query.bind(1, groupId).bind(2, kStartRowSequence);
    query.step();
    return query.integer(0) + 10;
}

std::optional<User> Catalog::findUser(const std::string& filerCode, const std::string& login) {
    auto stored = storedLogin(filerCode, login);
    if (!stored) {
        return std::nullopt;
    }
    return stored->user;
}

std::optional<StoredLogin> Catalog::storedLogin(const std::string& filerCode,
                                                const std::string& login) {
    auto query = db_.prepare(
        "SELECT id, filer_code, login, password_hash FROM users WHERE filer_code = ? AND "
        "login = ?");
    query.bind(1, filerCode).bind(2, login);
    if (!query.step()) {
        return std::nullopt;
    }
    return StoredLogin{User{query.integer(0), query.text(1), query.text(2)}, query.text(3)};
}

std::vector<LoginServer> Catalog::loginServersFor(std::int64_t userId) {
    auto query = db_.prepare(
        "SELECT s.name, s.bus_obj_path FROM login_servers s WHERE EXISTS ("
        " SELECT 1 FROM grants g JOIN deployments d ON d.id = g.deployment_id"
        " WHERE g.user_id = ? AND d.bus_obj_path = s.bus_obj_path) ORDER BY s.id");
    query.bind(1, userId);
    std::vector<LoginServer> result;
    while (query.step()) {
        result.push_back({query.text(0), query.text(1)});
    }
    return result;
}

std::vector<Deployment> Catalog::deploymentsFor(std::int64_t userId) {
    auto query = db_.prepare(std::string("SELECT ") + kDeploymentColumns +
                             " FROM deployments d JOIN grants g ON g.deployment_id = d.id"
                             " WHERE g.user_id = ? ORDER BY d.id");
    query.bind(1, userId);
    return readDeployments(query);
}

std::vector<Deployment> Catalog::grantedDeployments(std::int64_t userId,
                                                    const std::string& busObjPath, bool client) {
    auto query = db_.prepare(std::string("SELECT ") + kDeploymentColumns +
                             " FROM deployments d JOIN grants g ON g.deployment_id = d.id"
                             " WHERE g.user_id = ?1 AND (?2 = '' OR d.bus_obj_path = ?2)"
                             " AND (d.type = 'CLIENT') = ?3 ORDER BY d.id");
    query.bind(1, userId).bind(2, busObjPath).bind(3, std::int64_t{client ? 1 : 0});
    return readDeployments(query);
}

std::optional<Deployment> Catalog::deployment(std::int64_t id) {
    auto query = db_.prepare(std::string("SELECT ") + kDeploymentColumns +
                             " FROM deployments d WHERE id = ?");
    query.bind(1, id);
    auto rows = readDeployments(query);
    if (rows.empty()) {
        return std::nullopt;
    }
    return rows.front();
}

std::vector<Deployment> Catalog::deploymentsAt(const std::string& busObjPath,
                                               const std::string& type) {
    auto query = db_.prepare(std::string("SELECT ") + kDeploymentColumns +
                             " FROM deployments d WHERE bus_obj_path = ? AND type = ?"
                             " ORDER BY d.id");
    query.bind(1, busObjPath).bind(2, type);
    return readDeployments(query);
}

bool Catalog::servesPath(const std::string& busObjPath) {
    auto query = db_.prepare(
        "SELECT 1 FROM login_servers WHERE bus_obj_path = ?1 UNION ALL "
        "SELECT 1 FROM deployments WHERE bus_obj_path = ?1 LIMIT 1");
    query.bind(1, busObjPath);
    return query.step();
}

std::optional<std::string> Catalog::groupStamp(std::int64_t groupId) {
    auto query = db_.prepare("SELECT last_update FROM install_groups WHERE id = ?");
    query.bind(1, groupId);
    if (!query.step()) {
        return std::nullopt;
    }
    return query.text(0);
}

std::vector<InstallFile> Catalog::installFiles(std::int64_t groupId, std::int64_t customGroupId) {
    auto query = db_.prepare(
        "SELECT file_name, sequence_id, install_type, file_version, alt_check_reg_value, "
        "alt_check, description, is_compressed, download_location, install_location, sha256, "
        "group_id, patches "
        "FROM install_files WHERE group_id IN (?1, ?2) AND group_id <> 0 "
        "ORDER BY sequence_id, group_id = ?2, id");
    query.bind(1, groupId).bind(2, customGroupId);
    std::vector<InstallFile> result;
    while (query.step()) {
        InstallFile f;
        f.fileName = query.text(0);
        f.sequenceId = query.integer(1);
        f.installType = query.integer(2);
        f.fileVersion = query.text(3);
        f.altCheckRegValue = query.text(4);
        f.altCheck = query.text(5);
        f.description = query.text(6);
        f.isCompressed = query.integer(7);
        f.downloadLocation = query.text(8);
        f.installLocation = query.text(9);
        f.sha256 = query.text(10);
        f.groupId = query.integer(11);
        f.patches = query.text(12);
        result.push_back(std::move(f));
    }
    return result;
}

}  // namespace kx::server

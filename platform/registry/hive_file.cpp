#include "hive_file.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "registry.h"
#include "sqlite_statement.h"

namespace kx::registry::detail {
namespace fs = std::filesystem;

namespace {

// Marks a database as a registry file, so that some other SQLite file is never mistaken for one.
constexpr std::int64_t kApplicationId = 0x4B585247;  // "KXRG"
constexpr int kBusyTimeoutMs = 5000;
// A write waits for the busy time-out up to this many times before it gives up.
constexpr int kBusyAttempts = 4;

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS reg_keys(
    path   TEXT PRIMARY KEY,  -- folded full path
    parent TEXT NOT NULL,     -- folded path of the parent, '' below the root
    name   TEXT NOT NULL      -- last name as written
) WITHOUT ROWID;
CREATE INDEX IF NOT EXISTS reg_keys_by_parent ON reg_keys(parent, path);
CREATE TABLE IF NOT EXISTS reg_values(
    key    TEXT NOT NULL,     -- folded path of the key
    folded TEXT NOT NULL,     -- folded value name
    name   TEXT NOT NULL,     -- value name as first written
    type   INTEGER NOT NULL,
    data   BLOB NOT NULL,
    PRIMARY KEY(key, folded)
) WITHOUT ROWID;
)sql";

bool isBusy(int rc) {
    return (rc & 0xFF) == SQLITE_BUSY || (rc & 0xFF) == SQLITE_LOCKED;
}

long readError(int rc) {
    switch (rc & 0xFF) {
        case SQLITE_NOTADB:
        case SQLITE_CORRUPT:
        case SQLITE_CANTOPEN:
            return kErrorCantOpen;
        default:
            return kErrorCantRead;
    }
}

long writeError(int rc) {
    switch (rc & 0xFF) {
        case SQLITE_READONLY:
        case SQLITE_PERM:
        case SQLITE_AUTH:
            return kErrorAccessDenied;
        case SQLITE_NOTADB:
        case SQLITE_CORRUPT:
        case SQLITE_CANTOPEN:
            return kErrorCantOpen;
        default:
            return kErrorCantWrite;
    }
}

// Steps a statement that reads outside a transaction, retrying a bounded number of times while
// a writer holds the file.
int stepRead(Statement& statement) {
    int rc = statement.step();
    for (int attempt = 1; attempt < kBusyAttempts && isBusy(rc); ++attempt) {
        rc = statement.step();
    }
    return rc;
}

int executeWithRetry(sqlite3* db, const char* sql) {
    int rc = execute(db, sql);
    for (int attempt = 1; attempt < kBusyAttempts && isBusy(rc); ++attempt) {
        rc = execute(db, sql);
    }
    return rc;
}

bool mayAccess(const fs::path& path, int mode) {
    return faccessat(AT_FDCWD, path.c_str(), mode, AT_EACCESS) == 0;
}

// Whether this process may change the file: it needs the file and its folder (for the journal);
// for a missing file, the nearest existing folder on the way to it.
bool processMayWrite(const fs::path& file) {
    std::error_code ec;
    if (fs::exists(file, ec)) {
        return mayAccess(file, R_OK | W_OK) && mayAccess(file.parent_path(), W_OK | X_OK);
    }
    fs::path folder = file.parent_path();
    while (!fs::exists(folder, ec) && folder.has_relative_path()) {
        folder = folder.parent_path();
    }
    return fs::is_directory(folder, ec) && mayAccess(folder, W_OK | X_OK);
}

// Walks the rows of a read, handing each to `row`. kErrorSuccess or the read's error.
template <typename Row>
long forEachRow(Statement& statement, Row&& row) {
    int rc = stepRead(statement);
    for (; rc == SQLITE_ROW; rc = statement.step()) {
        row(statement);
    }
    return rc == SQLITE_DONE ? kErrorSuccess : readError(rc);
}

// The keys of `path` and every parent, created when missing (inside a write transaction).
long insertKeyChain(sqlite3* db, const KeyPath& path) {
    std::size_t end = 0;
    while (end < path.folded.size()) {
        end = std::min(path.folded.find('\\', end + 1), path.folded.size());
        std::string_view folded = std::string_view(path.folded).substr(0, end);
        Statement insert(db, "INSERT OR IGNORE INTO reg_keys(path, parent, name) VALUES(?, ?, ?)");
        insert.bind(folded).bind(parentPath(folded)).bind(lastName(path.written.substr(0, end)));
        if (int rc = insert.step(); rc != SQLITE_DONE) {
            return writeError(rc);
        }
    }
    return kErrorSuccess;
}

StoredValue storedValue(const Statement& row) {
    return StoredValue{row.text(0), static_cast<std::uint32_t>(row.integer(1)), row.text(2)};
}

long executeBound(sqlite3* db, const char* sql, std::string_view parameter) {
    Statement statement(db, sql);
    int rc = statement.bind(parameter).step();
    return rc == SQLITE_DONE ? kErrorSuccess : writeError(rc);
}

}  // namespace

HiveFile::HiveFile(sqlite3* db, bool writable, bool hasSchema)
    : db_(db), writable_(writable), hasSchema_(hasSchema) {}

HiveFile::~HiveFile() {
    sqlite3_close_v2(db_);
}

long HiveFile::open(const std::string& path, bool forWriting, std::shared_ptr<HiveFile>& out) {
    std::error_code ec;
    fs::path file = path.empty() ? fs::path() : fs::absolute(path, ec);
    if (file.empty() || ec) {
        return kErrorCantOpen;
    }
    bool mayWrite = processMayWrite(file);
    if (forWriting && !mayWrite) {
        return kErrorAccessDenied;
    }
    if (!forWriting && !fs::exists(file, ec)) {
        out.reset(new HiveFile(nullptr, false, false));
        return kErrorSuccess;
    }
    if (forWriting) {
        fs::create_directories(file.parent_path(), ec);
        if (ec) {
            return kErrorAccessDenied;
        }
    }
    int flags = SQLITE_OPEN_NOMUTEX | (mayWrite ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY) |
                (forWriting ? SQLITE_OPEN_CREATE : 0);
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(file.c_str(), &db, flags, nullptr);
    std::shared_ptr<HiveFile> hive(new HiveFile(db, forWriting, false));
    if (rc != SQLITE_OK) {
        return forWriting ? writeError(rc) : kErrorCantOpen;
    }
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    long result = hive->checkSchema();
    if (result == kErrorSuccess && forWriting && !hive->hasSchema_) {
        result = hive->createSchema();
    }
    if (result == kErrorSuccess) {
        out = std::move(hive);
    }
    return result;
}

long HiveFile::checkSchema() {
    Statement id(db_, "PRAGMA application_id");
    int rc = stepRead(id);
    if (rc != SQLITE_ROW) {
        return kErrorCantOpen;
    }
    std::int64_t applicationId = id.integer(0);
    Statement tables(db_,
                     "SELECT count(*), sum(name IN ('reg_keys', 'reg_values')) FROM sqlite_master");
    rc = stepRead(tables);
    if (rc != SQLITE_ROW) {
        return kErrorCantOpen;
    }
    std::int64_t all = tables.integer(0);
    std::int64_t ours = tables.integer(1);
    if (applicationId == kApplicationId && ours == 2) {
        hasSchema_ = true;
        return kErrorSuccess;
    }
    // A new or empty database is an empty hive; anything else is not a registry file.
    return applicationId == 0 && all == 0 ? kErrorSuccess : kErrorCantOpen;
}

long HiveFile::createSchema() {
    // Rollback journal rather than WAL: a WAL file cannot be read by a process that may not
    // create its shared-memory file beside it, and every non-administrator reads the machine
    // file that way.
    execute(db_, "PRAGMA journal_mode=DELETE");
    execute(db_, "PRAGMA synchronous=FULL");
    long result = writeTransaction([&] {
        // Another process may have created it while this one waited for the lock.
        if (execute(db_, kSchema) != SQLITE_OK) {
            return writeError(sqlite3_errcode(db_));
        }
        std::string mark = "PRAGMA application_id = " + std::to_string(kApplicationId);
        int rc = execute(db_, mark.c_str());
        return rc == SQLITE_OK ? kErrorSuccess : writeError(rc);
    });
    hasSchema_ = result == kErrorSuccess;
    return result;
}

template <typename Body>
long HiveFile::writeTransaction(Body&& body) {
    if (!writable_) {
        return kErrorAccessDenied;
    }
    std::lock_guard lock(mutex_);
    if (int rc = executeWithRetry(db_, "BEGIN IMMEDIATE"); rc != SQLITE_OK) {
        return writeError(rc);
    }
    long result = body();
    if (result == kErrorSuccess) {
        if (int rc = executeWithRetry(db_, "COMMIT"); rc != SQLITE_OK) {
            result = writeError(rc);
        }
    }
    if (result != kErrorSuccess) {
        execute(db_, "ROLLBACK");
    }
    return result;
}

long HiveFile::keyExistsLocked(const std::string& folded, bool& exists) {
    exists = folded.empty();
    if (exists || db_ == nullptr || !hasSchema_) {
        return kErrorSuccess;
    }
    Statement find(db_, "SELECT 1 FROM reg_keys WHERE path = ?");
    find.bind(folded);
    return forEachRow(find, [&](Statement&) { exists = true; });
}

long HiveFile::keyExists(const std::string& folded, bool& exists) {
    std::lock_guard lock(mutex_);
    return keyExistsLocked(folded, exists);
}

long HiveFile::createKey(const KeyPath& path) {
    return writeTransaction([&] { return insertKeyChain(db_, path); });
}

long HiveFile::readValue(const std::string& keyFolded, const std::string& name, StoredValue& out) {
    bool found = false;
    long result = readRows("SELECT name, type, data FROM reg_values WHERE key = ? AND folded = ?",
                           {keyFolded, foldName(name)}, [&](Statement& row) {
                               out = storedValue(row);
                               found = true;
                           });
    return result == kErrorSuccess && !found ? kErrorFileNotFound : result;
}

long HiveFile::writeValue(const KeyPath& key, bool createKeyFirst, const StoredValue& value) {
    return writeTransaction([&] {
        if (createKeyFirst) {
            if (long result = insertKeyChain(db_, key); result != kErrorSuccess) {
                return result;
            }
        } else {
            bool exists = false;
            if (long result = keyExistsLocked(key.folded, exists); result != kErrorSuccess) {
                return result;
            }
            if (!exists) {
                return kErrorKeyDeleted;
            }
        }
        Statement upsert(db_,
                         "INSERT INTO reg_values(key, folded, name, type, data) "
                         "VALUES(?, ?, ?, ?, CAST(? AS BLOB)) ON CONFLICT(key, folded) "
                         "DO UPDATE SET type = excluded.type, data = excluded.data");
        upsert.bind(key.folded).bind(foldName(value.name)).bind(value.name);
        upsert.bind(static_cast<std::int64_t>(value.type)).bind(value.data);
        int rc = upsert.step();
        return rc == SQLITE_DONE ? kErrorSuccess : writeError(rc);
    });
}

long HiveFile::deleteValue(const std::string& keyFolded, const std::string& name) {
    return writeTransaction([&] {
        Statement remove(db_, "DELETE FROM reg_values WHERE key = ? AND folded = ?");
        int rc = remove.bind(keyFolded).bind(foldName(name)).step();
        if (rc != SQLITE_DONE) {
            return writeError(rc);
        }
        return sqlite3_changes(db_) == 0 ? kErrorFileNotFound : kErrorSuccess;
    });
}

long HiveFile::deleteTree(const std::string& folded, bool removeKey) {
    return writeTransaction([&] {
        if (removeKey) {
            bool exists = false;
            long result = keyExistsLocked(folded, exists);
            if (result != kErrorSuccess || !exists) {
                return result == kErrorSuccess ? kErrorFileNotFound : result;
            }
        }
        // Descendants are the paths that start with the key's path and a backslash: the range
        // from "path\" up to "path]", "]" being the character after "\".
        const char* statements[] = {
            "DELETE FROM reg_keys WHERE path >= ?1 || '\\' AND path < ?1 || ']'",
            "DELETE FROM reg_values WHERE key >= ?1 || '\\' AND key < ?1 || ']'",
            "DELETE FROM reg_values WHERE key = ?1",
            removeKey ? "DELETE FROM reg_keys WHERE path = ?1" : nullptr,
        };
        if (folded.empty()) {
            statements[0] = "DELETE FROM reg_keys WHERE ?1 = ''";
            statements[1] = "DELETE FROM reg_values WHERE ?1 = ''";
        }
        for (const char* sql : statements) {
            if (sql == nullptr) {
                continue;
            }
            if (long result = executeBound(db_, sql, folded); result != kErrorSuccess) {
                return result;
            }
        }
        return kErrorSuccess;
    });
}

template <typename Row>
long HiveFile::readRows(const char* sql, std::initializer_list<std::string_view> parameters,
                        Row&& row) {
    std::lock_guard lock(mutex_);
    if (db_ == nullptr || !hasSchema_) {
        return kErrorSuccess;
    }
    Statement query(db_, sql);
    for (std::string_view parameter : parameters) {
        query.bind(parameter);
    }
    return forEachRow(query, std::forward<Row>(row));
}

long HiveFile::subKeys(const std::string& folded, std::vector<std::string>& names) {
    names.clear();
    return readRows("SELECT name FROM reg_keys WHERE parent = ? ORDER BY path", {folded},
                    [&](Statement& row) { names.push_back(row.text(0)); });
}

long HiveFile::listValues(const std::string& folded, std::vector<StoredValue>& out) {
    out.clear();
    return readRows("SELECT name, type, data FROM reg_values WHERE key = ? ORDER BY folded",
                    {folded}, [&](Statement& row) { out.push_back(storedValue(row)); });
}

}  // namespace kx::registry::detail

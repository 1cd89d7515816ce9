#include "platform/registry/hive_file.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "platform/registry/registry.h"
#include "platform/sqlite/sqlite_database.h"

namespace kx::registry::detail {
namespace fs = std::filesystem;

namespace {

// Marks a database as a registry file, so that some other SQLite file is never mistaken for one.
constexpr std::int64_t kApplicationId = 0x4B585247;  // "KXRG"
constexpr std::chrono::milliseconds kBusyTimeout{5000};
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

long readError(int code) {
    switch (code & 0xFF) {
        case SQLITE_NOTADB:
        case SQLITE_CORRUPT:
        case SQLITE_CANTOPEN:
            return kErrorCantOpen;
        default:
            return kErrorCantRead;
    }
}

long writeError(int code) {
    switch (code & 0xFF) {
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

// A write that the registry itself refuses (a key deleted meanwhile, a value that is not there):
// carries the result out of the transaction, which is rolled back.
struct Refusal {
    long result;
};

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

// Steps a read for the first time, again while a writer holds the file.
bool firstStep(sqlite::Statement& statement) {
    return sqlite::retryWhileBusy(kBusyAttempts, [&] { return statement.step(); });
}

// Walks the rows of a read, handing each to `row`.
template <typename Row>
void forEachRow(sqlite::Statement& statement, Row&& row) {
    for (bool more = firstStep(statement); more; more = statement.step()) {
        row(statement);
    }
}

// The keys of `path` and every parent, created when missing (inside a write transaction).
void insertKeyChain(sqlite::Database& db, const KeyPath& path) {
    std::size_t end = 0;
    while (end < path.folded.size()) {
        end = std::min(path.folded.find('\\', end + 1), path.folded.size());
        std::string_view folded = std::string_view(path.folded).substr(0, end);
        db.prepare("INSERT OR IGNORE INTO reg_keys(path, parent, name) VALUES(?, ?, ?)")
            .bind(1, folded)
            .bind(2, parentPath(folded))
            .bind(3, lastName(path.written.substr(0, end)))
            .run();
    }
}

StoredValue storedValue(const sqlite::Statement& row) {
    return StoredValue{row.text(0), static_cast<std::uint32_t>(row.integer(1)), row.text(2)};
}

// A setting that only makes the file sturdier: a file where it cannot be set is used all the same,
// and the write that follows reports what is wrong with it.
void setIfPossible(sqlite::Database& db, const char* pragma) {
    try {
        db.exec(pragma);
    } catch (const sqlite::Error&) {
    }
}

}  // namespace

HiveFile::HiveFile(std::unique_ptr<sqlite::Database> db, bool writable)
    : db_(std::move(db)), writable_(writable) {}

HiveFile::~HiveFile() = default;

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
        out.reset(new HiveFile(nullptr, false));
        return kErrorSuccess;
    }
    if (forWriting) {
        fs::create_directories(file.parent_path(), ec);
        if (ec) {
            return kErrorAccessDenied;
        }
    }
    std::shared_ptr<HiveFile> hive;
    try {
        // Calls are serialised by the hive's own mutex.
        hive.reset(new HiveFile(std::make_unique<sqlite::Database>(
                                    file.string(), sqlite::OpenOptions{.create = forWriting,
                                                                       .readOnly = !mayWrite,
                                                                       .serialized = false,
                                                                       .busyTimeout = kBusyTimeout,
                                                                       .subject = "registry file"}),
                                forWriting));
    } catch (const sqlite::Error& e) {
        return forWriting ? writeError(e.code()) : kErrorCantOpen;
    }
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
    std::int64_t applicationId = 0;
    std::int64_t all = 0;
    std::int64_t ours = 0;
    try {
        sqlite::Statement id(*db_, "PRAGMA application_id");
        if (!firstStep(id)) {
            return kErrorCantOpen;
        }
        applicationId = id.integer(0);
        sqlite::Statement tables(
            *db_, "SELECT count(*), sum(name IN ('reg_keys', 'reg_values')) FROM sqlite_master");
        if (!firstStep(tables)) {
            return kErrorCantOpen;
        }
        all = tables.integer(0);
        ours = tables.integer(1);
    } catch (const sqlite::Error&) {
        return kErrorCantOpen;
    }
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
    setIfPossible(*db_, "PRAGMA journal_mode=DELETE");
    setIfPossible(*db_, "PRAGMA synchronous=FULL");
    long result = writeTransaction([&] {
        // Another process may have created it while this one waited for the lock.
        db_->exec(kSchema);
        db_->exec("PRAGMA application_id = " + std::to_string(kApplicationId));
        return kErrorSuccess;
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
    try {
        sqlite::inTransaction(
            *db_,
            [&] {
                if (const long result = body(); result != kErrorSuccess) {
                    throw Refusal{result};
                }
            },
            kBusyAttempts);
        return kErrorSuccess;
    } catch (const Refusal& refusal) {
        return refusal.result;
    } catch (const sqlite::Error& e) {
        return writeError(e.code());
    }
}

long HiveFile::keyExistsLocked(const std::string& folded, bool& exists) {
    exists = folded.empty();
    if (exists || db_ == nullptr || !hasSchema_) {
        return kErrorSuccess;
    }
    try {
        sqlite::Statement find(*db_, "SELECT 1 FROM reg_keys WHERE path = ?");
        find.bind(1, folded);
        forEachRow(find, [&](sqlite::Statement&) { exists = true; });
        return kErrorSuccess;
    } catch (const sqlite::Error& e) {
        return readError(e.code());
    }
}

long HiveFile::keyExists(const std::string& folded, bool& exists) {
    std::lock_guard lock(mutex_);
    return keyExistsLocked(folded, exists);
}

long HiveFile::createKey(const KeyPath& path) {
    return writeTransaction([&] {
        insertKeyChain(*db_, path);
        return kErrorSuccess;
    });
}

long HiveFile::readValue(const std::string& keyFolded, const std::string& name, StoredValue& out) {
    bool found = false;
    long result = readRows("SELECT name, type, data FROM reg_values WHERE key = ? AND folded = ?",
                           {keyFolded, foldName(name)}, [&](sqlite::Statement& row) {
                               out = storedValue(row);
                               found = true;
                           });
    return result == kErrorSuccess && !found ? kErrorFileNotFound : result;
}

long HiveFile::writeValue(const KeyPath& key, bool createKeyFirst, const StoredValue& value) {
    return writeTransaction([&] {
        if (createKeyFirst) {
            insertKeyChain(*db_, key);
        } else {
            bool exists = false;
            if (long result = keyExistsLocked(key.folded, exists); result != kErrorSuccess) {
                return result;
            }
            if (!exists) {
                return kErrorKeyDeleted;
            }
        }
        db_->prepare(
               "INSERT INTO reg_values(key, folded, name, type, data) "
               "VALUES(?, ?, ?, ?, CAST(? AS BLOB)) ON CONFLICT(key, folded) "
               "DO UPDATE SET type = excluded.type, data = excluded.data")
            .bind(1, key.folded)
            .bind(2, foldName(value.name))
            .bind(3, value.name)
            .bind(4, static_cast<std::int64_t>(value.type))
            .bind(5, value.data)
            .run();
        return kErrorSuccess;
    });
}

long HiveFile::deleteValue(const std::string& keyFolded, const std::string& name) {
    return writeTransaction([&] {
        db_->prepare("DELETE FROM reg_values WHERE key = ? AND folded = ?")
            .bind(1, keyFolded)
            .bind(2, foldName(name))
            .run();
        return db_->changes() == 0 ? kErrorFileNotFound : kErrorSuccess;
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
            if (sql != nullptr) {
                db_->prepare(sql).bind(1, folded).run();
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
    try {
        sqlite::Statement query(*db_, sql);
        int index = 1;
        for (std::string_view parameter : parameters) {
            query.bind(index++, parameter);
        }
        forEachRow(query, std::forward<Row>(row));
        return kErrorSuccess;
    } catch (const sqlite::Error& e) {
        return readError(e.code());
    }
}

long HiveFile::subKeys(const std::string& folded, std::vector<std::string>& names) {
    names.clear();
    return readRows("SELECT name FROM reg_keys WHERE parent = ? ORDER BY path", {folded},
                    [&](sqlite::Statement& row) { names.push_back(row.text(0)); });
}

long HiveFile::listValues(const std::string& folded, std::vector<StoredValue>& out) {
    out.clear();
    return readRows("SELECT name, type, data FROM reg_values WHERE key = ? ORDER BY folded",
                    {folded}, [&](sqlite::Statement& row) { out.push_back(storedValue(row)); });
}

}  // namespace kx::registry::detail

#include "platform/sqlite/sqlite_database.h"

#include <sqlite3.h>

#include <algorithm>
#include <limits>
#include <thread>

namespace kx::sqlite {

namespace {

int openFlags(const OpenOptions& options) {
    int flags = options.readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    if (options.create) {
        flags |= SQLITE_OPEN_CREATE;
    }
    return flags | (options.serialized ? SQLITE_OPEN_FULLMUTEX : SQLITE_OPEN_NOMUTEX);
}

}  // namespace

Database::Database(const std::string& file, const OpenOptions& options)
    : subject_(options.subject), busyTimeout_(options.busyTimeout) {
    const int rc = sqlite3_open_v2(file.c_str(), &db_, openFlags(options), nullptr);
    if (rc != SQLITE_OK) {
        std::string message = "cannot open " + subject_ + " " + file;
        if (db_ != nullptr) {
            message += ": ";
            message += sqlite3_errmsg(db_);
            sqlite3_close(db_);
            db_ = nullptr;
        }
        throw Error(message, rc);
    }
    sqlite3_busy_handler(db_, &Database::waitWhileBusy, this);
    if (options.foreignKeys) {
        try {
            exec("PRAGMA foreign_keys = ON");
        } catch (...) {
            sqlite3_close(db_);
            throw;
        }
    }
}

Database::~Database() {
    sqlite3_close_v2(db_);
}

int Database::waitWhileBusy(void* self, int attempt) {
    auto& db = *static_cast<Database*>(self);
    const auto now = std::chrono::steady_clock::now();
    if (attempt == 0) {
        db.busySince_ = now;
    }
    const auto waited = now - db.busySince_;
    if (db.interrupted_ || waited >= db.busyTimeout_) {
        return 0;
    }
    // Short naps first, so that a lock held for a moment costs a moment.
    const std::chrono::milliseconds nap(attempt < 10 ? 1 : 10);
    std::this_thread::sleep_for(
        std::min<std::chrono::steady_clock::duration>(nap, db.busyTimeout_ - waited));
    return 1;
}

void Database::fail(int code, const std::string& what) const {
    const std::string message =
        what + ": " + (db_ != nullptr ? sqlite3_errmsg(db_) : "out of memory");
    const int primary = code & 0xFF;
    if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED) {
        throw Busy(message, code);
    }
    throw Error(message, code);
}

void Database::exec(std::string_view sql) {
    const std::string text(sql);
    const int rc = sqlite3_exec(db_, text.c_str(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        fail(rc, subject_ + " statement failed");
    }
}

Statement Database::prepare(std::string_view sql) {
    return Statement(*this, sql);
}

std::int64_t Database::lastInsertId() const {
    return sqlite3_last_insert_rowid(db_);
}

int Database::changes() const {
    return sqlite3_changes(db_);
}

void Database::rollbackQuietly() noexcept {
    if (sqlite3_get_autocommit(db_) == 0) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
}

void Database::interrupt() noexcept {
    interrupted_ = true;
    sqlite3_interrupt(db_);
}

Statement::Statement(Database& db, std::string_view sql) : db_(db) {
    if (sql.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        throw Error(db_.subject_ + " statement too long", SQLITE_TOOBIG);
    }
    const int rc =
        sqlite3_prepare_v2(db_.db_, sql.data(), static_cast<int>(sql.size()), &stmt_, nullptr);
    if (rc != SQLITE_OK) {
        db_.fail(rc, "cannot prepare " + db_.subject_ + " statement");
    }
}

Statement::Statement(Statement&& other) noexcept : db_(other.db_), stmt_(other.stmt_) {
    other.stmt_ = nullptr;
}

Statement::~Statement() {
    sqlite3_finalize(stmt_);
}

Statement& Statement::bind(int index, std::string_view text) {
    const int rc =
        sqlite3_bind_text64(stmt_, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
    if (rc != SQLITE_OK) {
        db_.fail(rc, "cannot bind " + db_.subject_ + " value");
    }
    return *this;
}

Statement& Statement::bind(int index, std::int64_t number) {
    const int rc = sqlite3_bind_int64(stmt_, index, number);
    if (rc != SQLITE_OK) {
        db_.fail(rc, "cannot bind " + db_.subject_ + " value");
    }
    return *this;
}

Statement& Statement::bindNull(int index) {
    const int rc = sqlite3_bind_null(stmt_, index);
    if (rc != SQLITE_OK) {
        db_.fail(rc, "cannot bind " + db_.subject_ + " value");
    }
    return *this;
}

bool Statement::step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) {
        return true;
    }
    if (rc == SQLITE_DONE) {
        return false;
    }
    db_.fail(rc, db_.subject_ + " query failed");
}

void Statement::run() {
    while (step()) {
    }
}

std::string Statement::text(int column) const {
    // The blob accessor hands text over as it is stored, embedded NULs included.
    const auto* bytes = static_cast<const char*>(sqlite3_column_blob(stmt_, column));
    const int length = sqlite3_column_bytes(stmt_, column);
    return bytes == nullptr ? std::string() : std::string(bytes, static_cast<std::size_t>(length));
}

std::int64_t Statement::integer(int column) const {
    return sqlite3_column_int64(stmt_, column);
}

bool Statement::isNull(int column) const {
    return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

}  // namespace kx::sqlite

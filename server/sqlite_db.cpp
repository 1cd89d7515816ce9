#include "sqlite_db.h"

#include <sqlite3.h>

#include <algorithm>
#include <limits>
#include <thread>

namespace kx::server {

namespace {

int checkedLength(std::string_view text) {
    if (text.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        throw CatalogError("catalog value too long");
    }
    return static_cast<int>(text.size());
}

}  // namespace

Database::Database(const std::string& file, bool create, std::chrono::milliseconds busyTimeout)
    : busyTimeout_(busyTimeout) {
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX;
    if (create) {
        flags |= SQLITE_OPEN_CREATE;
    }
    if (sqlite3_open_v2(file.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
        std::string message = "cannot open catalog " + file;
        if (db_ != nullptr) {
            message += ": ";
            message += sqlite3_errmsg(db_);
            sqlite3_close(db_);
            db_ = nullptr;
        }
        throw CatalogError(message);
    }
    sqlite3_busy_handler(db_, &Database::waitWhileBusy, this);
    exec("PRAGMA foreign_keys = ON");
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
        throw CatalogBusy(message);
    }
    throw CatalogError(message);
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

Database::~Database() {
    sqlite3_close(db_);
}

void Database::exec(std::string_view sql) {
    const std::string text(sql);
    const int rc = sqlite3_exec(db_, text.c_str(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        fail(rc, "catalog statement failed");
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

Statement::Statement(Database& db, std::string_view sql) : db_(db) {
    const int rc = sqlite3_prepare_v2(db_.db_, sql.data(), checkedLength(sql), &stmt_, nullptr);
    if (rc != SQLITE_OK) {
        db_.fail(rc, "cannot prepare catalog statement");
    }
}

Statement::Statement(Statement&& other) noexcept : db_(other.db_), stmt_(other.stmt_) {
    other.stmt_ = nullptr;
}

Statement::~Statement() {
    sqlite3_finalize(stmt_);
}

Statement& Statement::bind(int index, std::string_view text) {
    if (sqlite3_bind_text(stmt_, index, text.data(), checkedLength(text), SQLITE_TRANSIENT) !=
        SQLITE_OK) {
        db_.fail(SQLITE_ERROR, "cannot bind catalog value");
    }
    return *this;
}

Statement& Statement::bind(int index, std::int64_t number) {
    if (sqlite3_bind_int64(stmt_, index, number) != SQLITE_OK) {
        db_.fail(SQLITE_ERROR, "cannot bind catalog value");
    }
    return *this;
}

Statement& Statement::bindNull(int index) {
    if (sqlite3_bind_null(stmt_, index) != SQLITE_OK) {
        db_.fail(SQLITE_ERROR, "cannot bind catalog value");
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
    db_.fail(rc, "catalog query failed");
}

void Statement::run() {
    while (step()) {
    }
}

std::string Statement::text(int column) const {
    const auto* bytes = sqlite3_column_text(stmt_, column);
    const int length = sqlite3_column_bytes(stmt_, column);
    if (bytes == nullptr) {
        return {};
    }
    return std::string(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(length));
}

std::int64_t Statement::integer(int column) const {
    return sqlite3_column_int64(stmt_, column);
}

bool Statement::isNull(int column) const {
    return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

}  // namespace kx::server

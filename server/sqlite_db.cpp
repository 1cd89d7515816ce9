#include "sqlite_db.h"

#include <sqlite3.h>

#include <limits>

namespace kx::server {

namespace {

[[noreturn]] void fail(sqlite3* db, const std::string& what) {
    throw CatalogError(what + ": " + (db != nullptr ? sqlite3_errmsg(db) : "out of memory"));
}

int checkedLength(std::string_view text) {
    if (text.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        throw CatalogError("catalog value too long");
    }
    return static_cast<int>(text.size());
}

}  // namespace

Database::Database(const std::string& file, bool create) {
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
    sqlite3_busy_timeout(db_, 5000);
    exec("PRAGMA foreign_keys = ON");
}

Database::~Database() {
    sqlite3_close(db_);
}

void Database::exec(std::string_view sql) {
    const std::string text(sql);
    char* error = nullptr;
    if (sqlite3_exec(db_, text.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        std::string message = error != nullptr ? error : "unknown error";
        sqlite3_free(error);
        throw CatalogError("catalog statement failed: " + message);
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
    if (sqlite3_prepare_v2(db_.db_, sql.data(), checkedLength(sql), &stmt_, nullptr) != SQLITE_OK) {
        fail(db_.db_, "cannot prepare catalog statement");
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
        fail(db_.db_, "cannot bind catalog value");
    }
    return *this;
}

Statement& Statement::bind(int index, std::int64_t number) {
    if (sqlite3_bind_int64(stmt_, index, number) != SQLITE_OK) {
        fail(db_.db_, "cannot bind catalog value");
    }
    return *this;
}

Statement& Statement::bindNull(int index) {
    if (sqlite3_bind_null(stmt_, index) != SQLITE_OK) {
        fail(db_.db_, "cannot bind catalog value");
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
    fail(db_.db_, "catalog query failed");
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

#pragma once
// A thin owner of one SQLite connection and its prepared statements. Every failure throws
// CatalogError with SQLite's own message, so callers never look at result codes; a catalog that
// stays locked by another connection for longer than the busy time-out throws CatalogBusy.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace kx::server {

class CatalogError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The catalog was locked by another connection for the whole busy time-out. Nothing of the
// failed step was kept; the same step may be tried again later.
class CatalogBusy : public CatalogError {
  public:
    using CatalogError::CatalogError;
};

class Statement;

class Database {
  public:
    static constexpr std::chrono::milliseconds kDefaultBusyTimeout{5000};

    // Opens (and with `create`, creates) the file; foreign keys on. A step that finds the file
    // locked waits up to `busyTimeout` for it, so that an administrator's command and a running
    // server can share the file.
    Database(const std::string& file, bool create,
             std::chrono::milliseconds busyTimeout = kDefaultBusyTimeout);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Runs one or more statements without parameters.
    void exec(std::string_view sql);
    Statement prepare(std::string_view sql);
    std::int64_t lastInsertId() const;
    int changes() const;

    // Rolls back the open transaction, if any; never throws.
    void rollbackQuietly() noexcept;
    // Makes every wait for a lock and every running statement of this connection fail at once,
    // now and from now on. Safe from any thread; used when the server stops.
    void interrupt() noexcept;

  private:
    friend class Statement;
    static int waitWhileBusy(void* self, int attempt);
    [[noreturn]] void fail(int code, const std::string& what) const;

    sqlite3* db_ = nullptr;
    std::chrono::milliseconds busyTimeout_;
    std::chrono::steady_clock::time_point busySince_;
    std::atomic<bool> interrupted_{false};
};

// A prepared statement; bind parameters by 1-based index, then step through the rows.
class Statement {
  public:
    Statement(Database& db, std::string_view sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    Statement(Statement&& other) noexcept;
    Statement& operator=(Statement&&) = delete;

    Statement& bind(int index, std::string_view text);
    Statement& bind(int index, std::int64_t number);
    Statement& bindNull(int index);

    // Advances to the next row; false when there is none.
    bool step();
    // Runs a statement that returns no rows.
    void run();

    std::string text(int column) const;
    std::int64_t integer(int column) const;
    bool isNull(int column) const;

  private:
    Database& db_;
    sqlite3_stmt* stmt_ = nullptr;
};

// Runs `body` inside one transaction: committed when it returns, rolled back when it or the
// commit fails, so that a failure never leaves the connection inside a transaction.
template <typename Body>
void inTransaction(Database& db, Body&& body) {
    db.exec("BEGIN IMMEDIATE");
    try {
        body();
        db.exec("COMMIT");
    } catch (...) {
        db.rollbackQuietly();
        throw;
    }
}

}  // namespace kx::server

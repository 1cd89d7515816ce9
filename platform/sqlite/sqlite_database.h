#pragma once
// One SQLite connection and its prepared statements. Every failure throws sqlite::Error with
// SQLite's result code and message, so callers never look at result codes; a step that found the
// file locked by another connection for the whole busy time-out throws sqlite::Busy, after which
// nothing of the step was kept and it may be tried again.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace kx::sqlite {

class Error : public std::runtime_error {
  public:
    static constexpr int kGenericCode = 1;  // SQLITE_ERROR

    explicit Error(const std::string& message, int code = kGenericCode)
        : std::runtime_error(message), code_(code) {}
    // SQLite's (extended) result code and its primary part (SQLITE_BUSY, SQLITE_READONLY, ...).
    int code() const { return code_; }
    int primaryCode() const { return code_ & 0xFF; }

  private:
    int code_;
};

// Another connection held the file locked for the whole busy time-out.
class Busy : public Error {
  public:
    using Error::Error;
};

struct OpenOptions {
    bool create = false;  // create the file when it is missing
    bool readOnly = false;
    // SQLite serialises the use of the connection itself; false when its owner holds a lock of
    // its own around every use.
    bool serialized = true;
    bool foreignKeys = false;  // enforce foreign keys
    // How long a step that finds the file locked waits for it before it throws Busy.
    std::chrono::milliseconds busyTimeout{5000};
    // What the file is, in messages: "cannot open <subject> FILE: ...".
    std::string subject = "database";
};

class Statement;

class Database {
  public:
    Database(const std::string& file, const OpenOptions& options);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Runs one or more statements without parameters.
    void exec(std::string_view sql);
    Statement prepare(std::string_view sql);
    std::int64_t lastInsertId() const;
    // Rows changed by the last INSERT, UPDATE or DELETE.
    int changes() const;

    // Rolls back the open transaction, if any; never throws.
    void rollbackQuietly() noexcept;
    // Makes every wait for a lock and every running statement of this connection fail at once,
    // now and from now on. Safe from any thread.
    void interrupt() noexcept;

  private:
    friend class Statement;
    static int waitWhileBusy(void* self, int attempt);
    [[noreturn]] void fail(int code, const std::string& what) const;

    sqlite3* db_ = nullptr;
    std::string subject_;
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

    // A column's bytes (text or blob; "" for Null) and its value as a number.
    std::string text(int column) const;
    std::int64_t integer(int column) const;
    bool isNull(int column) const;

  private:
    Database& db_;
    sqlite3_stmt* stmt_ = nullptr;
};

// Runs `step` again while it throws Busy, `attempts` times in all; each attempt has waited the
// busy time-out. Returns what `step` returns; the last Busy and every other failure propagate.
template <typename Step>
auto retryWhileBusy(int attempts, Step&& step) -> decltype(step()) {
    for (int attempt = 1;; ++attempt) {
        try {
            return step();
        } catch (const Busy&) {
            if (attempt >= attempts) {
                throw;
            }
        }
    }
}

// Runs `body` inside one IMMEDIATE transaction: committed when it returns, rolled back when it or
// the commit fails, so that a failure never leaves the connection inside a transaction. Starting
// and committing are each tried `busyAttempts` times while the file stays locked.
template <typename Body>
void inTransaction(Database& db, Body&& body, int busyAttempts = 1) {
    retryWhileBusy(busyAttempts, [&] { db.exec("BEGIN IMMEDIATE"); });
    try {
        body();
        retryWhileBusy(busyAttempts, [&] { db.exec("COMMIT"); });
    } catch (...) {
        db.rollbackQuietly();
        throw;
    }
}

}  // namespace kx::sqlite

#pragma once
// A thin owner of one SQLite connection and its prepared statements. Every failure throws
// CatalogError with SQLite's own message, so callers never look at result codes.

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

class Statement;

class Database {
  public:
    // Opens (and with `create`, creates) the file; foreign keys on, a busy time-out so that an
    // administrator's command and a running server can share the file.
    Database(const std::string& file, bool create);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Runs one or more statements without parameters.
    void exec(std::string_view sql);
    Statement prepare(std::string_view sql);
    std::int64_t lastInsertId() const;
    int changes() const;

  private:
    friend class Statement;
    sqlite3* db_ = nullptr;
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

// Runs `body` inside one transaction: committed when it returns, rolled back when it throws.
template <typename Body>
void inTransaction(Database& db, Body&& body) {
    db.exec("BEGIN IMMEDIATE");
    try {
        body();
    } catch (...) {
        db.exec("ROLLBACK");
        throw;
    }
    db.exec("COMMIT");
}

}  // namespace kx::server

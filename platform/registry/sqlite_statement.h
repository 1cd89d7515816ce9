#pragma once
// A prepared SQLite statement that finalises itself; the error codes stay SQLite's.

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace kx::registry::detail {

class Statement {
  public:
    Statement(sqlite3* db, const char* sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // SQLITE_OK when preparing succeeded.
    int prepared() const { return prepareResult_; }

    // Binds parameters 1, 2, ... in order; each returns *this for chaining.
    Statement& bind(std::string_view text);
    Statement& bind(std::int64_t number);

    // SQLITE_ROW, SQLITE_DONE or an error code. A failed bind is reported here.
    int step();

    std::string text(int column) const;
    std::int64_t integer(int column) const;

  private:
    sqlite3_stmt* stmt_ = nullptr;
    int prepareResult_;
    int bindResult_ = SQLITE_OK;
    int nextParameter_ = 1;
};

// Runs SQL without results; SQLITE_OK or an error code.
int execute(sqlite3* db, const char* sql);

}  // namespace kx::registry::detail

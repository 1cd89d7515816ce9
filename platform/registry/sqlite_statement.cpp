#include "sqlite_statement.h"

namespace kx::registry::detail {

Statement::Statement(sqlite3* db, const char* sql)
    : prepareResult_(sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr)) {}

Statement::~Statement() {
    sqlite3_finalize(stmt_);
}

Statement& Statement::bind(std::string_view text) {
    if (prepareResult_ == SQLITE_OK && bindResult_ == SQLITE_OK) {
        bindResult_ = sqlite3_bind_text64(stmt_, nextParameter_, text.data(), text.size(),
                                          SQLITE_TRANSIENT, SQLITE_UTF8);
    }
    ++nextParameter_;
    return *this;
}

Statement& Statement::bind(std::int64_t number) {
    if (prepareResult_ == SQLITE_OK && bindResult_ == SQLITE_OK) {
        bindResult_ = sqlite3_bind_int64(stmt_, nextParameter_, number);
    }
    ++nextParameter_;
    return *this;
}

int Statement::step() {
    if (prepareResult_ != SQLITE_OK) {
        return prepareResult_;
    }
    if (bindResult_ != SQLITE_OK) {
        return bindResult_;
    }
    return sqlite3_step(stmt_);
}

std::string Statement::text(int column) const {
    const auto* bytes = static_cast<const char*>(sqlite3_column_blob(stmt_, column));
    int size = sqlite3_column_bytes(stmt_, column);
    return bytes == nullptr ? std::string() : std::string(bytes, static_cast<std::size_t>(size));
}

std::int64_t Statement::integer(int column) const {
    return sqlite3_column_int64(stmt_, column);
}

int execute(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}

}  // namespace kx::registry::detail

#pragma once
// Named settings of a catalog: one table of keys with text values ("password_memory_kib",
// "token_lifetime_seconds", ...). A failing read or write throws CatalogError like any catalog
// step; a value that is missing or not what its reader expects is reported by the reader.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "server/sqlite_db.h"

namespace kx::server {

std::optional<std::string> readSetting(Database& db, std::string_view key);
void writeSetting(Database& db, std::string_view key, std::string_view value);

// The setting as a whole number from `min` to `max`; nullopt when it is missing or holds
// anything else.
std::optional<std::int64_t> numberSetting(Database& db, std::string_view key, std::int64_t min,
                                          std::int64_t max);

// The same for a setting the catalog cannot work without: throws CatalogError naming the key and
// what it holds when it is missing or out of range.
std::int64_t requiredNumberSetting(Database& db, std::string_view key, std::int64_t min,
                                   std::int64_t max);

}  // namespace kx::server

#include "server/catalog_settings.h"

#include "server/whole_number.h"

namespace kx::server {

std::optional<std::string> readSetting(Database& db, std::string_view key) {
    auto query = db.prepare("SELECT value FROM settings WHERE key = ?");
    query.bind(1, key);
    if (!query.step()) {
        return std::nullopt;
    }
    return query.text(0);
}

void writeSetting(Database& db, std::string_view key, std::string_view value) {
    db.prepare("INSERT OR REPLACE INTO settings(key, value) VALUES(?, ?)")
        .bind(1, key)
        .bind(2, value)
        .run();
}

std::optional<std::int64_t> numberSetting(Database& db, std::string_view key, std::int64_t min,
                                          std::int64_t max) {
    const auto text = readSetting(db, key);
    return text ? parseWholeNumber(*text, min, max) : std::nullopt;
}

std::int64_t requiredNumberSetting(Database& db, std::string_view key, std::int64_t min,
                                   std::int64_t max) {
    const auto text = readSetting(db, key);
    if (!text) {
        throw CatalogError("the catalog has no setting " + std::string(key));
    }
    const auto value = parseWholeNumber(*text, min, max);
    if (!value) {
        throw CatalogError("the catalog's setting " + std::string(key) + " is \"" +
                           text->substr(0, 40) + "\", not a whole number from " +
                           std::to_string(min) + " to " + std::to_string(max));
    }
    return *value;
}

}  // namespace kx::server

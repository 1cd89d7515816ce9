#pragma once
// The catalog's names for the platform's SQLite connection (sqlite_database.h): a catalog
// connection enforces foreign keys, names itself "catalog" in its messages, and throws
// CatalogError for every failure, CatalogBusy when another connection held the file for longer
// than the busy time-out.

#include "platform/sqlite/sqlite_database.h"

namespace kx::server {

using CatalogError = sqlite::Error;
using CatalogBusy = sqlite::Busy;
using sqlite::inTransaction;
using sqlite::Statement;

class Database : public sqlite::Database {
  public:
    static constexpr std::chrono::milliseconds kDefaultBusyTimeout{5000};

    // Opens (and with `create`, creates) the file. A step that finds the file locked waits up to
    // `busyTimeout` for it, so that an administrator's command and a running server can share it.
    Database(const std::string& file, bool create,
             std::chrono::milliseconds busyTimeout = kDefaultBusyTimeout)
        : sqlite::Database(file, {.create = create,
                                  .foreignKeys = true,
                                  .busyTimeout = busyTimeout,
                                  .subject = "catalog"}) {}
};

}  // namespace kx::server

#pragma once
// The catalog's tables of the support pages: the groups of the error reports and the staff
// accounts with their sessions. They live beside the catalog's own tables and are made, or
// brought up to date, whenever a catalog is opened or created.

#include "platform/sqlite/sqlite_database.h"

namespace kx::server::support {

// Makes the tables that are missing, and files under their groups the stored reports that have
// none yet (reports of a catalog made before grouping existed, or stored by an older server) or
// that were grouped under other rules. Does nothing, and takes no write lock, when all is in
// place. Needs the catalog's table of error reports; throws sqlite::Error.
void prepareSupportTables(sqlite::Database& db);

}  // namespace kx::server::support

#pragma once
// Listing what the running server stored (login notes, error reports) as one JSON object per
// line, oldest first, while the server goes on writing: rows are read in batches of a few
// megabytes, each batch in a short read of its own that ends before the batch is written out, so
// that a slow reader of the output never holds the catalog.

#include <functional>
#include <ostream>
#include <string>

#include <nlohmann/json.hpp>

#include "server/sqlite_db.h"

namespace kx::server {

// Writes one line per row of `sql`, whose first column is the row's id and whose one parameter is
// the id to continue after.
void writeRowsInBatches(Database& db, std::ostream& out, const char* sql,
                        const std::function<std::string(const Statement&)>& renderLine);

// The start of a listed line from a row's first three columns: its id, when it arrived (under
// `timeName`) and from where.
nlohmann::ordered_json listedLineStart(const Statement& row, const char* timeName);

}  // namespace kx::server

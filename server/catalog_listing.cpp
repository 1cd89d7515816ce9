#include "server/catalog_listing.h"

namespace kx::server {

namespace {

// A batch of listed lines stops growing at this size; it is written out after its read ends.
constexpr std::size_t kBatchBytes = 4 << 20;

}  // namespace

void writeRowsInBatches(Database& db, std::ostream& out, const char* sql,
                        const std::function<std::string(const Statement&)>& renderLine) {
    std::int64_t lastId = 0;
    for (;;) {
        std::string batch;
        {
            auto rows = db.prepare(sql);
            rows.bind(1, lastId);
            while (batch.size() < kBatchBytes && rows.step()) {
                lastId = rows.integer(0);
                batch += renderLine(rows);
                batch += '\n';
            }
        }
        if (batch.empty()) {
            return;
        }
        out << batch;
        out.flush();
    }
}

nlohmann::ordered_json listedLineStart(const Statement& row, const char* timeName) {
    nlohmann::ordered_json line;
    line["id"] = row.integer(0);
    line[timeName] = row.text(1);
    line["clientAddress"] = row.text(2);
    return line;
}

}  // namespace kx::server

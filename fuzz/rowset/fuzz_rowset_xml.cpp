// Feeds arbitrary bytes to the row-set document reader. Whatever it accepts must either be
// refused by the writer with a run-time error or be written and read back to the same rows.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/rowset/rowset_xml.h"
#include "platform/runtime/run_time_error.h"

using namespace kx::rowset;

namespace {

std::vector<std::size_t> allRows(const RowsetData& data) {
    std::vector<std::size_t> indexes(data.rows.size());
    for (std::size_t i = 0; i < indexes.size(); ++i) {
        indexes[i] = i;
    }
    return indexes;
}

void checkSameRows(const RowsetData& a, const RowsetData& b) {
    if (a.fields.size() != b.fields.size() || a.rows.size() != b.rows.size() ||
        a.deletedRows.size() != b.deletedRows.size()) {
        std::abort();
    }
    for (std::size_t r = 0; r < a.rows.size(); ++r) {
        for (std::size_t c = 0; c < a.fields.size(); ++c) {
            if (!sameStoredValue(a.rows[r].values[c], b.rows[r].values[c])) {
                std::abort();
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    RowsetData loaded;
    try {
        loaded = readRowsetXml(std::string_view(reinterpret_cast<const char*>(data), size));
    } catch (const kx::RuntimeError&) {
        return 0;
    }
    std::string written;
    try {
        written = writeRowsetXml(loaded, allRows(loaded));
    } catch (const kx::RuntimeError&) {
        return 0;  // text XML cannot carry, or a Null update: refused, not mangled
    }
    checkSameRows(loaded, readRowsetXml(written));
    return 0;
}

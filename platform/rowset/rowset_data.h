#pragma once
// The contents of a row set, shared by the Recordset, the document reader and the writer.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/rowset/field_info.h"
#include "platform/runtime/variant.h"

namespace kx::rowset {

// Pending-change state of a row loaded from a document that carried unsent changes. A set
// holds its current values: inserted rows are present, updated rows show their new values
// (with the original values kept), deleted rows are held apart. The writer writes all of them
// back in the same form.
enum class RowStatus : std::uint8_t { Unchanged, Inserted, Modified };

struct Row {
    std::vector<Variant> values;  // one per field, each of the field's storage kind or Null
    RowStatus status = RowStatus::Unchanged;
    std::vector<Variant> original;  // the values before the pending update (Modified only)
};

struct RowsetData {
    std::vector<FieldInfo> fields;
    std::vector<Row> rows;                          // in document order, deletions excluded
    std::vector<std::vector<Variant>> deletedRows;  // pending deletions, with their values

    // The index of the field named `name`, ignoring letter case.
    std::optional<std::size_t> fieldIndex(std::string_view name) const;
    bool hasPendingChanges() const;
};

// Whether two stored values are the same (same kind and value; Null equals Null).
bool sameStoredValue(const Variant& a, const Variant& b);

}  // namespace kx::rowset

#include "platform/rowset/rowset_data.h"

#include <cstring>

#include "platform/rowset/text_fold.h"

namespace kx::rowset {

std::optional<std::size_t> RowsetData::fieldIndex(std::string_view name) const {
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (equalsFolded(fields[i].name, name)) {
            return i;
        }
    }
    return std::nullopt;
}

bool RowsetData::hasPendingChanges() const {
    if (!deletedRows.empty()) {
        return true;
    }
    for (const Row& row : rows) {
        if (row.status != RowStatus::Unchanged) {
            return true;
        }
    }
    return false;
}

bool sameStoredValue(const Variant& a, const Variant& b) {
    if (a.type() != b.type()) {
        return false;
    }
    return std::visit(
        [&](const auto& left) {
            using T = std::decay_t<decltype(left)>;
            if constexpr (std::is_same_v<T, std::monostate> || std::is_same_v<T, NullValue>) {
                return true;
            } else if constexpr (std::is_same_v<T, bool> || std::is_same_v<T, std::uint8_t> ||
                                 std::is_same_v<T, std::int16_t> ||
                                 std::is_same_v<T, std::int32_t> ||
                                 std::is_same_v<T, std::int64_t> || std::is_same_v<T, Currency> ||
                                 std::is_same_v<T, std::string>) {
                return left == std::get<T>(b.storage());
            } else if constexpr (std::is_same_v<T, float> || std::is_same_v<T, double>) {
                // Bitwise, so that -0.0 and 0.0 count as a change the writer must keep.
                const T right = std::get<T>(b.storage());
                return std::memcmp(&left, &right, sizeof(T)) == 0;
            } else if constexpr (std::is_same_v<T, OleDate>) {
                return left.serial == std::get<T>(b.storage()).serial;
            } else {
                return false;
            }
        },
        a.storage());
}

}  // namespace kx::rowset

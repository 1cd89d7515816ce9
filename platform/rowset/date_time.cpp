#include "platform/rowset/date_time.h"

#include <cstdio>

#include "platform/runtime/vb_date.h"

namespace kx::rowset {

std::optional<std::string> formatXdrDateTime(OleDate date) {
    auto parts = partsOfDateToMillisecond(date);
    if (!parts) {
        return std::nullopt;
    }
    char buffer[32];
    int length = std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d", parts->year,
                               parts->month, parts->day, parts->hour, parts->minute, parts->second);
    if (parts->millisecond != 0) {
        length += std::snprintf(buffer + length, sizeof buffer - static_cast<std::size_t>(length),
                                ".%03d", parts->millisecond);
    }
    return std::string(buffer, static_cast<std::size_t>(length));
}

}  // namespace kx::rowset

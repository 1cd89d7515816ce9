#pragma once
// A moment as the text of the catalog's stamps and of signed lists: "yyyy-mm-ddThh:mm:ss" in UTC,
// whatever time zone and locale the process runs in.

#include <cstdint>
#include <ctime>
#include <string>

namespace kx {

inline std::string utcTimeText(std::int64_t unixSeconds) {
    const auto seconds = static_cast<std::time_t>(unixSeconds);
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &parts);
    return text;
}

}  // namespace kx

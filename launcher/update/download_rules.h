#pragma once
// How the install run reads the answers to its downloads beyond their body: which failures are
// worth another attempt and how long to wait before it, which validator a download can be
// continued under, and which piece of the file a partial answer holds. Pure functions of header
// texts, all of them untrusted.

#include <chrono>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

namespace kx::launcher {

// A download is tried at most this many times more after a failure that may pass.
inline constexpr int kDownloadRetries = 3;
// The longest wait a server's Retry-After is honoured with.
inline constexpr std::chrono::seconds kLongestRetryWait{30};

// Answers that say "not now": request time-out (408), too many requests (429), and the server's
// own failures (5xx).
bool isTransientStatus(std::int32_t status);

// The wait a Retry-After value asks for: whole seconds, or an HTTP date (IMF-fixdate, "Sun, 06
// Nov 1994 08:49:37 GMT") counted from `now`; nullopt when the value is neither. A date already
// past asks for no wait.
std::optional<std::chrono::seconds> retryAfterOf(const std::string& value, std::time_t now);

// The wait before attempt `failures` + 1 (`failures` >= 1): the server's wish when it gave one,
// else `firstWait` doubled with each failure; never longer than kLongestRetryWait.
std::chrono::milliseconds retryWait(int failures, std::chrono::milliseconds firstWait,
                                    std::optional<std::chrono::seconds> serverWish);

// What a download can be continued under: the ETag when it is a strong one ("..." and not W/"..."),
// else the Last-Modified date; "" when the answer has neither, or a value that could not be sent
// back as it is.
std::string resumeValidatorOf(const std::string& etag, const std::string& lastModified);

// The piece a 206 answer holds, from its Content-Range "bytes FIRST-LAST/TOTAL".
struct ContentRange {
    std::int64_t first = 0;
    std::int64_t last = 0;
    std::int64_t total = 0;
};
// nullopt unless the text is exactly one such range with FIRST <= LAST < TOTAL.
std::optional<ContentRange> contentRangeOf(const std::string& value);

}  // namespace kx::launcher

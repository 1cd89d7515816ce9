#include "server/file_validators.h"

#include <cstdio>
#include <ctime>

#include "server/content_hash.h"

namespace kx::server {

namespace {

// Beyond this many files the remembered digests are forgotten and found again as needed.
constexpr std::size_t kMaxDigests = 4096;

}  // namespace

FileValidators ValidatorCache::validatorsOf(int fd, const std::string& path,
                                            const struct stat& status) {
    const std::string key =
        path + '\n' + std::to_string(status.st_dev) + ':' + std::to_string(status.st_ino);
    const std::int64_t modified =
        static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1'000'000'000 + status.st_mtim.tv_nsec;
    const std::string lastModified = httpDate(status.st_mtim.tv_sec);
    {
        std::lock_guard lock(mutex_);
        const auto found = digests_.find(key);
        if (found != digests_.end() && found->second.size == status.st_size &&
            found->second.modifiedNanoseconds == modified) {
            return {"\"" + found->second.digest + "\"", lastModified};
        }
    }
    // Read through the descriptor: the file being served, whatever the path names now.
    const std::string digest = sha256FileHex("/proc/self/fd/" + std::to_string(fd));
    std::lock_guard lock(mutex_);
    if (digests_.size() >= kMaxDigests) {
        digests_.clear();
    }
    digests_.insert_or_assign(key, Entry{status.st_size, modified, digest});
    return {"\"" + digest + "\"", lastModified};
}

std::string httpDate(std::int64_t unixSeconds) {
    static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const auto seconds = static_cast<std::time_t>(unixSeconds);
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    char text[40];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d GMT", kDays[parts.tm_wday],
                  parts.tm_mday, kMonths[parts.tm_mon], parts.tm_year + 1900, parts.tm_hour,
                  parts.tm_min, parts.tm_sec);
    return text;
}

}  // namespace kx::server

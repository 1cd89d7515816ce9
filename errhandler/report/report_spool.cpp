#include "errhandler/report/report_spool.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <tuple>

#include "platform/files/file_placement.h"
#include "platform/runtime/debug_log.h"
#include "platform/text/ascii_text.h"
#include "platform/text/path_text.h"

namespace kx::errhandler {

namespace {

constexpr std::string_view kReportSuffix = ".report";
// How the temporary file of a report being written ends (file_placement.h names it).
constexpr std::string_view kTemporaryEnd = ".report.kxnew";
constexpr std::size_t kUuidLength = 36;
// Seconds since 1970 in at most this many digits (beyond the year 5000).
constexpr std::size_t kMaxTimeDigits = 11;
constexpr std::int64_t kStaleTemporarySeconds = 24 * 60 * 60;
constexpr mode_t kFolderMode = 0700;

std::string why() {
    return std::strerror(errno);
}

bool isLowerHexDigit(char c) {
    return ascii::isDigit(c) || (c >= 'a' && c <= 'f');
}

// "xxxxxxxx-xxxx-4xxx-yxxx-xxxxxxxxxxxx" in lower case, y one of 8, 9, a, b.
bool isUuidVersion4(std::string_view text) {
    if (text.size() != kUuidLength || text[14] != '4' ||
        std::string_view("89ab").find(text[19]) == std::string_view::npos) {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? text[i] != '-' : !isLowerHexDigit(text[i])) {
            return false;
        }
    }
    return true;
}

std::string newUuidVersion4() {
    std::array<unsigned char, 16> bytes{};
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        const ssize_t got = ::getrandom(bytes.data() + filled, bytes.size() - filled, 0);
        if (got < 0 && errno != EINTR) {
            throw std::runtime_error("no random bytes for a report id: " + why());
        }
        filled += got > 0 ? static_cast<std::size_t>(got) : 0;
    }
    bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);  // version 4
    bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
    static constexpr char kHex[] = "0123456789abcdef";
    std::string id;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) {
            id += '-';
        }
        id += kHex[bytes[i] >> 4];
        id += kHex[bytes[i] & 0x0F];
    }
    return id;
}

// Creates each missing folder of `folder` owner-only; true when `folder` then is a folder of ours
// that nobody else may enter (its mode set to 0700 if it was wider), not a link.
bool privateFolderReady(const std::string& folder) {
    for (std::size_t slash = folder.find('/', 1); slash != std::string::npos;
         slash = folder.find('/', slash + 1)) {
        ::mkdir(folder.substr(0, slash).c_str(), kFolderMode);
    }
    if (::mkdir(folder.c_str(), kFolderMode) != 0 && errno != EEXIST) {
        debugLog("the report spool " + folder + " cannot be created (" + why() + ")");
        return false;
    }
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        info.st_uid != ::getuid()) {
        debugLog("the report spool " + folder + " is not a folder of this user; not used");
        return false;
    }
    if ((info.st_mode & 07777) != kFolderMode && ::chmod(folder.c_str(), kFolderMode) != 0) {
        debugLog("the report spool " + folder + " cannot be made private (" + why() + ")");
        return false;
    }
    return true;
}

void removeFile(const std::string& path, const char* reason) {
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
        debugLog("the spooled report " + path + " was not removed (" + why() + ")");
        return;
    }
    debugLog(std::string("the spooled report ") + path + " was removed: " + reason);
}

bool newerFirst(const SpoolEntry& a, const SpoolEntry& b) {
    return std::tie(a.identity.createdAt, a.identity.id) >
           std::tie(b.identity.createdAt, b.identity.id);
}

}  // namespace

std::int64_t secondsNow() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

ReportIdentity ReportIdentity::fresh() {
    return {newUuidVersion4(), secondsNow()};
}

std::string ReportIdentity::fileName() const {
    return std::to_string(createdAt) + "-" + id + std::string(kReportSuffix);
}

std::optional<ReportIdentity> ReportIdentity::ofFileName(std::string_view name) {
    if (!name.ends_with(kReportSuffix)) {
        return std::nullopt;
    }
    name.remove_suffix(kReportSuffix.size());
    const std::size_t dash = name.find('-');
    if (dash == 0 || dash > kMaxTimeDigits || !isUuidVersion4(name.substr(dash + 1))) {
        return std::nullopt;
    }
    std::int64_t createdAt = 0;
    for (const char c : name.substr(0, dash)) {
        if (!ascii::isDigit(c)) {
            return std::nullopt;
        }
        createdAt = createdAt * 10 + (c - '0');
    }
    return ReportIdentity{std::string(name.substr(dash + 1)), createdAt};
}

std::optional<std::string> LockedReport::read(std::uint64_t maxBytes) const {
    struct stat info {};
    if (::fstat(file_.get(), &info) != 0 || static_cast<std::uint64_t>(info.st_size) > maxBytes) {
        return std::nullopt;
    }
    std::string content(static_cast<std::size_t>(info.st_size), '\0');
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t got = ::pread(file_.get(), content.data() + done, content.size() - done,
                                    static_cast<off_t>(done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return std::nullopt;
        }
        done += static_cast<std::size_t>(got);
    }
    return content;
}

void LockedReport::remove(const char* why) {
    removeFile(entry_.path, why);
}

void LockedReport::keep(std::int64_t now) {
    const struct timespec times[2] = {{now, 0}, {now, 0}};
    if (::futimens(file_.get(), times) != 0) {
        debugLog("the time of the last attempt of " + entry_.path + " was not kept (" + why() +
                 ")");
    }
}

std::optional<LockedReport> ReportSpool::add(const ReportIdentity& identity,
                                             const std::string& body, std::int64_t now) {
    if (folder_.empty() || !privateFolderReady(folder_)) {
        return std::nullopt;
    }
    const std::string path = joinPath(folder_, identity.fileName());
    if (const files::PlacementFailure failure =
            files::placeContent(body, path, files::PlacedMode::OwnerOnly);
        !failure.empty()) {
        debugLog("the report was not spooled: " + failure);
        return std::nullopt;
    }
    SpoolEntry entry{identity, path, body.size(), now};
    std::optional<LockedReport> locked = lock(entry);
    entries(now);  // the caps, now that this report counts
    return locked;
}

std::vector<SpoolEntry> ReportSpool::prunedEntries(std::int64_t now) {
    std::vector<SpoolEntry> kept = entries(now);
    std::reverse(kept.begin(), kept.end());
    return kept;
}

std::optional<LockedReport> ReportSpool::lock(const SpoolEntry& entry) {
    // Not blocking: whatever the name holds by now, opening it must not wait (a FIFO would).
    sys::FileDescriptor file(
        ::open(entry.path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!file.valid() || ::flock(file.get(), LOCK_EX | LOCK_NB) != 0) {
        return std::nullopt;
    }
    // Between the listing and the lock, another holder may have delivered (removed) the file.
    struct stat held {};
    struct stat named {};
    if (::fstat(file.get(), &held) != 0 || held.st_nlink == 0 ||
        ::lstat(entry.path.c_str(), &named) != 0 || named.st_ino != held.st_ino ||
        named.st_dev != held.st_dev || !S_ISREG(held.st_mode)) {
        return std::nullopt;
    }
    SpoolEntry current = entry;
    current.size = static_cast<std::uint64_t>(held.st_size);
    current.lastAttempt = held.st_mtim.tv_sec;
    return LockedReport(std::move(current), std::move(file));
}

// The reports within the caps, newest first; removes those beyond them and stale temporaries.
std::vector<SpoolEntry> ReportSpool::entries(std::int64_t now) {
    std::vector<SpoolEntry> listed;
    const std::unique_ptr<DIR, int (*)(DIR*)> folder(::opendir(folder_.c_str()), &::closedir);
    if (folder_.empty() || !folder) {
        return listed;
    }
    while (const dirent* item = ::readdir(folder.get())) {
        const std::string_view name = item->d_name;
        const std::string path = joinPath(folder_, name);
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
            continue;
        }
        // A report's temporary file outlives its writer only when the writer died.
        if (name.starts_with('.') && name.ends_with(kTemporaryEnd) &&
            now - info.st_mtim.tv_sec > kStaleTemporarySeconds) {
            removeFile(path, "a temporary file left by a writer that ended");
        } else if (auto identity = ReportIdentity::ofFileName(name)) {
            listed.push_back({std::move(*identity), path, static_cast<std::uint64_t>(info.st_size),
                              info.st_mtim.tv_sec});
        }
    }
    std::sort(listed.begin(), listed.end(), newerFirst);
    std::vector<SpoolEntry> kept;
    std::uint64_t bytes = 0;
    for (SpoolEntry& entry : listed) {
        const bool fits = kept.size() < limits_.maxReports &&
                          entry.size <= limits_.maxBytes - bytes &&
                          now - entry.identity.createdAt <= limits_.maxAgeSeconds;
        if (!fits) {
            removeFile(entry.path, "over the spool's caps");
            continue;
        }
        bytes += entry.size;
        kept.push_back(std::move(entry));
    }
    return kept;
}

}  // namespace kx::errhandler

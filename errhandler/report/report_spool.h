#pragma once
// The report spool: the body of each error report is kept on disk before its first post, so that
// a report that is not delivered, or whose post is cut short (a process killed, a server that
// stores it and drops the connection), is sent again at a later start (spooled_sending.h). Each
// report carries an id, and the server stores an id once, so a report sent twice is stored once.
//
// One file per report in the spool folder (sys::reportSpoolDirectory(), mode 0700), named
// "<created>-<id>.report": when it was made (seconds since 1970) and its ReportId (a UUID,
// version 4, lower case). It holds the exact form body that is posted, whose last field is
// "ReportId=" + the encoded id; it is owner-only (0600) and written beside its name, flushed and
// renamed into place (file_placement.h), so a file of that name is always whole. Its
// modification time is when it was last tried. Other files are left alone, except the temporary
// files of writers that died, which are removed once a day old.
//
// Whoever posts a report holds an exclusive lock (flock) on its file meanwhile, so two processes,
// or two threads, never post one report at the same time.
//
// Caps (SpoolLimits), applied whenever a report is added and before reports are sent: at most 30
// reports and 32 MiB of them, none older than 30 days. What is over the caps is removed, the
// oldest first.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/system/file_descriptor.h"

namespace kx::errhandler {

struct ReportIdentity {
    std::string id;              // UUID version 4, lower case
    std::int64_t createdAt = 0;  // seconds since 1970

    // A new random id, made now.
    static ReportIdentity fresh();
    // "<createdAt>-<id>.report"
    std::string fileName() const;
    // The identity a spool file's name stands for; nullopt for any other name.
    static std::optional<ReportIdentity> ofFileName(std::string_view name);
};

// The current time in seconds since 1970.
std::int64_t secondsNow();

struct SpoolLimits {
    std::size_t maxReports = 30;
    std::uint64_t maxBytes = std::uint64_t{32} << 20;
    std::int64_t maxAgeSeconds = std::int64_t{30} * 24 * 60 * 60;
};

// A report file as the folder lists it.
struct SpoolEntry {
    ReportIdentity identity;
    std::string path;
    std::uint64_t size = 0;
    std::int64_t lastAttempt = 0;  // its modification time, seconds since 1970
};

// A report file held under its lock, which is released when the object goes.
class LockedReport {
  public:
    const SpoolEntry& entry() const { return entry_; }
    // The whole file; nullopt when it cannot be read or is larger than `maxBytes`.
    std::optional<std::string> read(std::uint64_t maxBytes) const;
    // Delivered, or refused for good (`why`, for the debug log): the file is removed.
    void remove(const char* why);
    // Not delivered: the file stays, stamped as tried at `now`.
    void keep(std::int64_t now);

  private:
    friend class ReportSpool;
    LockedReport(SpoolEntry entry, sys::FileDescriptor file)
        : entry_(std::move(entry)), file_(std::move(file)) {}

    SpoolEntry entry_;
    sys::FileDescriptor file_;
};

class ReportSpool {
  public:
    explicit ReportSpool(std::string folder, SpoolLimits limits = {})
        : folder_(std::move(folder)), limits_(limits) {}

    const std::string& folder() const { return folder_; }
    const SpoolLimits& limits() const { return limits_; }

    // Writes `body` as the report `identity`, creating the folder when needed, locks it and
    // applies the caps. Nothing (and a line in the debug log) when it cannot be written: the
    // report is then posted without a copy.
    std::optional<LockedReport> add(const ReportIdentity& identity, const std::string& body,
                                    std::int64_t now);
    // Applies the caps and lists the reports left, oldest first. Empty when the folder is missing,
    // which is not created.
    std::vector<SpoolEntry> prunedEntries(std::int64_t now);
    // Locks `entry` for a post. Nothing when another holder has the lock, or when the file was
    // removed or replaced since it was listed.
    std::optional<LockedReport> lock(const SpoolEntry& entry);

  private:
    std::vector<SpoolEntry> entries(std::int64_t now);

    std::string folder_;
    SpoolLimits limits_;
};

}  // namespace kx::errhandler

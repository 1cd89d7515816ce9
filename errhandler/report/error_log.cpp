#include "errhandler/report/error_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

#include "platform/runtime/debug_log.h"
#include "platform/runtime/vb_date.h"

namespace kx::errhandler {

std::string errorLogEntry(const ErrorInfo& record, const std::string& dateTime) {
    constexpr const char* kCrLf = "\r\n";
    return dateTime + " " + record.ProjectName + " " + record.ProjectVersion + " " + record.Module +
           " " + record.Routine + " " + numberText(record.LineNumber) + " " +
           numberText(record.ErrorCode) + " " + record.Description + " " + record.Context + kCrLf +
           "AppPath=[" + record.AppPath + "]" + kCrLf + "AppEXEName=[" + record.AppEXEName + "]" +
           kCrLf + "ParentProcess=[" + record.ParentProcess + "]" + kCrLf;
}

std::string localDateTimeNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (localtime_r(&now, &local) == nullptr) {
        return "";
    }
    const auto date = dateFromParts({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                     local.tm_hour, local.tm_min, std::min(local.tm_sec, 59), 0});
    return date ? formatGeneralDate(*date) : "";
}

void appendErrorLog(const ErrorInfo& record) {
    const std::string entry = errorLogEntry(record, localDateTimeNow());
    const int fd = open(kErrorLogFileName, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        debugLog(std::string("the error log ") + kErrorLogFileName + " could not be opened (" +
                 std::strerror(errno) + "); the entry is not written");
        return;
    }
    // One entry goes out in as few writes as the system allows, so that entries of two processes
    // sharing the folder do not interleave.
    std::size_t written = 0;
    while (written < entry.size()) {
        const ssize_t count = write(fd, entry.data() + written, entry.size() - written);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            debugLog(std::string("the error log ") + kErrorLogFileName + " took " +
                     std::to_string(written) + " of " + std::to_string(entry.size()) +
                     " bytes of the entry (" + std::strerror(count < 0 ? errno : ENOSPC) + ")");
            break;
        }
        written += static_cast<std::size_t>(count);
    }
    if (close(fd) != 0) {
        debugLog(std::string("closing the error log failed (") + std::strerror(errno) + ")");
    }
}

}  // namespace kx::errhandler

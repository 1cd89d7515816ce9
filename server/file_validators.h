#pragma once
// The validators an install file is served with, so that a client can resume a download safely:
// a strong ETag from the SHA-256 of the content, and the Last-Modified date. Digests are
// remembered by the file's identity (path, device, inode, size and modification time), so that a
// download does not read the whole file once more each time. Safe for concurrent use.

#include <sys/stat.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>

namespace kx::server {

struct FileValidators {
    std::string etag;          // "\"<64 hex digits>\""
    std::string lastModified;  // an HTTP date
};

class ValidatorCache {
  public:
    // The validators of the open file `fd`, found at `path` with the status `status`. The digest
    // is of the open file itself, even when the path has been replaced meanwhile. Throws
    // std::runtime_error when the file cannot be read.
    FileValidators validatorsOf(int fd, const std::string& path, const struct stat& status);

  private:
    struct Entry {
        std::int64_t size = 0;
        std::int64_t modifiedNanoseconds = 0;
        std::string digest;
    };
    std::mutex mutex_;
    std::unordered_map<std::string, Entry> digests_;
};

// An HTTP date (IMF-fixdate), such as "Sun, 06 Nov 1994 08:49:37 GMT".
std::string httpDate(std::int64_t unixSeconds);

}  // namespace kx::server

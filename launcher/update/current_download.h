#pragma once
// The download of the install run's current row across its attempts, in this run and from one
// start to the next: what each request asks for, where the body goes, and what the run does after
// an attempt.
//
// A row whose install list entry gives its SHA-256 is downloaded into a part kept in TempDir
// (download_part.h), recorded with its URL, FileVersion, digest, the length the server announced
// and the server's validator. The next attempt continues the part only when the record matches the
// row and holds a validator and a length: it asks for the rest (Range) under that validator
// (If-Range). The answer decides:
//   206 for exactly the rest of the recorded length: the body is appended;
//   200 (or another 2xx): the whole file again, into a part begun anew;
//   416: the part is used when it already holds the whole file, else the file is asked for again,
//        in full;
//   a 206 that does not fit what was asked for: the file is asked for again, in full.
// A whole part is handed over under the download file's name (a second name for the same bytes)
// for installation, and removed once the file is in place; when the placement failed it is kept,
// so that the next start installs it without downloading it again. A file that turns out wrong
// (its digest, its expansion) after it was continued from earlier bytes is thrown away and
// downloaded once more, in full.
//
// Rows without a SHA-256 are never continued: their body goes straight into the download file.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/files/download_part.h"

namespace kx::launcher {

class CurrentDownload {
  public:
    // What the install run does once an attempt is over.
    enum class Next {
        Finish,     // the file was installed, or its failure was reported
        TryAgain,   // after a wait (retryLater)
        StartOver,  // at once, asking for the whole file
    };

    // Where a body goes and which piece of the file it is.
    struct BodyFile {
        std::string path;
        bool continued = false;   // appended to what the file holds
        std::int64_t offset = 0;  // the file's byte the body begins with
        std::int64_t total = -1;  // the whole file's length; -1 unknown
        bool isPart = false;      // the file is the part (else the download file itself)
    };

    // A new row: the file `fileName` with digest `digest` ("" for none) and version `fileVersion`
    // from `url`, kept in `tempDir`.
    void beginRow(const std::string& tempDir, const std::string& fileName,
                  const std::string& digest, const std::string& url,
                  const std::string& fileVersion);

    // Before an attempt: the request header lines it adds ("Range: ..." CR LF "If-Range: ...", or
    // "" for the whole file). On the `lastAttempt` a failure that may pass is reported, not tried
    // again.
    std::string prepareAttempt(bool lastAttempt);
    // The first byte the latest request asked for; 0 for the whole file.
    std::int64_t offset() const { return offset_; }

    // Where the body of a 2xx answer goes, given its status, Content-Range, announced length (-1
    // when unknown), ETag and Last-Modified; `downloadFile` is the row's download file. nullopt
    // when the answer does not fit the request: next() then says StartOver, or Finish when the
    // failure is to be reported.
    std::optional<BodyFile> bodyFile(std::int32_t status, const std::string& contentRange,
                                     std::int64_t length, const std::string& etag,
                                     const std::string& lastModified,
                                     const std::string& downloadFile);

    // After a 416 to a request for the rest: whether the part already holds the whole file.
    bool partIsWhole() const;
    // Gives the whole part the name `downloadFile` as well; false when the part is not whole
    // after all or cannot be named so.
    bool handOver(const std::string& downloadFile);

    // A failure that may pass: true when another attempt follows (after the server's `wish`, when
    // it gave one), false when it is to be reported.
    bool retryLater(std::optional<std::chrono::seconds> wish);
    // The whole file is asked for again at once, the part thrown away; false (and nothing done)
    // when that was done for this row already.
    bool startOver();
    // The file downloaded is not the row's: the part is thrown away; true when the file held
    // bytes of an earlier attempt, so that it is downloaded once more, in full (startOver).
    bool discard();
    // The file was handed to installation: the part is removed unless `keepPart`.
    void installed(bool keepPart);

    Next next() const { return next_; }
    std::optional<std::chrono::seconds> serverWish() const { return serverWish_; }
    // The name of the part this row leaves in TempDir, "" when none.
    std::string leftPart() const;

  private:
    std::optional<files::DownloadPart> part_;  // none: the row cannot be continued
    files::PartRecord
        wanted_;  // the row's URL, version and digest; length and validator once known
    std::int64_t offset_ = 0;
    bool lastAttempt_ = false;
    bool holdsEarlierBytes_ = false;  // the part holds bytes of an earlier attempt
    bool startedOver_ = false;
    Next next_ = Next::Finish;
    std::optional<std::chrono::seconds> serverWish_;
};

}  // namespace kx::launcher

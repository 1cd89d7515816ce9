#include "launcher/update/current_download.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "launcher/update/download_rules.h"
#include "platform/runtime/debug_log.h"

namespace kx::launcher {

void CurrentDownload::beginRow(const std::string& tempDir, const std::string& fileName,
                               const std::string& digest, const std::string& url,
                               const std::string& fileVersion) {
    *this = CurrentDownload();
    wanted_ = {url, fileVersion, -1, digest, {}};
    if (!digest.empty()) {
        part_.emplace(tempDir, fileName, digest);
    }
}

std::string CurrentDownload::prepareAttempt(bool lastAttempt) {
    lastAttempt_ = lastAttempt;
    next_ = Next::Finish;
    serverWish_.reset();
    offset_ = 0;
    holdsEarlierBytes_ = false;
    if (!part_) {
        return {};
    }
    const std::optional<files::PartRecord> record = part_->record();
    const std::int64_t held = part_->length();
    if (!record || record->url != wanted_.url || record->fileVersion != wanted_.fileVersion ||
        record->sha256 != wanted_.sha256 || record->validator.empty() || record->size <= 0 ||
        held <= 0 || held > record->size || (held < record->size && part_->hasOtherNames())) {
        return {};
    }
    wanted_ = *record;
    offset_ = held;
    holdsEarlierBytes_ = true;
    return "Range: bytes=" + std::to_string(held) + "-\r\nIf-Range: " + record->validator;
}

std::optional<CurrentDownload::BodyFile> CurrentDownload::bodyFile(
    std::int32_t status, const std::string& contentRange, std::int64_t length,
    const std::string& etag, const std::string& lastModified, const std::string& downloadFile) {
    if (status == 206 && offset_ == 0) {
        return std::nullopt;  // a piece nobody asked for is not the file
    }
    if (status == 206) {
        const std::optional<ContentRange> range = contentRangeOf(contentRange);
        if (!range || range->first != offset_ || range->last + 1 != range->total ||
            range->total != wanted_.size) {
            startOver();
            return std::nullopt;
        }
        return BodyFile{part_->path(), true, offset_, range->total, true};
    }
    // The whole file, from its first byte.
    offset_ = 0;
    holdsEarlierBytes_ = false;
    if (!part_) {
        return BodyFile{downloadFile, false, 0, length, false};
    }
    files::PartRecord record = wanted_;
    record.size = length;
    record.validator = resumeValidatorOf(etag, lastModified);
    if (const std::string failure = part_->begin(record); !failure.empty()) {
        debugLog("the download is not kept for a later attempt: " + failure);
        part_.reset();
        return BodyFile{downloadFile, false, 0, length, false};
    }
    wanted_ = record;
    return BodyFile{part_->path(), false, 0, length, true};
}

bool CurrentDownload::partIsWhole() const {
    return part_ && wanted_.size > 0 && part_->length() == wanted_.size;
}

bool CurrentDownload::handOver(const std::string& downloadFile) {
    if (!part_ || (wanted_.size >= 0 && part_->length() != wanted_.size)) {
        return false;
    }
    // A second name, not a copy or a rename: the part stays until the file is in place, so that
    // a run that ends before that finds the whole file at its next start.
    ::unlink(downloadFile.c_str());
    if (::link(part_->path().c_str(), downloadFile.c_str()) == 0) {
        return true;
    }
    debugLog("the download part " + part_->path() + " was moved, not linked, to " + downloadFile +
             " (" + std::strerror(errno) + ")");
    return ::rename(part_->path().c_str(), downloadFile.c_str()) == 0;
}

bool CurrentDownload::retryLater(std::optional<std::chrono::seconds> wish) {
    if (lastAttempt_) {
        return false;
    }
    next_ = Next::TryAgain;
    serverWish_ = wish;
    return true;
}

bool CurrentDownload::startOver() {
    if (startedOver_) {
        return false;
    }
    if (part_) {
        part_->remove();
    }
    startedOver_ = true;
    next_ = Next::StartOver;
    return true;
}

bool CurrentDownload::discard() {
    if (part_) {
        part_->remove();
    }
    return holdsEarlierBytes_ && startOver();
}

void CurrentDownload::installed(bool keepPart) {
    if (part_ && !keepPart) {
        part_->remove();
    }
}

std::string CurrentDownload::leftPart() const {
    return part_ && part_->length() >= 0 ? part_->name() : std::string();
}

}  // namespace kx::launcher

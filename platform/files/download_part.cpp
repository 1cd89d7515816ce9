#include "platform/files/download_part.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string_view>

#include "platform/files/file_placement.h"
#include "platform/files/sha256_file.h"
#include "platform/runtime/debug_log.h"
#include "platform/system/file_descriptor.h"
#include "platform/text/path_text.h"

namespace kx::files {

namespace {

constexpr std::string_view kPartSuffix = ".kxpart";
constexpr std::string_view kRecordSuffix = ".rec";
constexpr std::string_view kFormatLine = "KX download part 1";
// Records are a few hundred bytes; anything larger is not one of ours.
constexpr std::size_t kMaxRecordBytes = 16 * 1024;
// Room left in a file name (255 bytes at most) for the digest, the suffixes and the temporary
// name of a record being written.
constexpr std::size_t kMaxNameStem = 200;

bool hasControlCharacter(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            return true;
        }
    }
    return false;
}

std::optional<std::int64_t> sizeOf(std::string_view digits) {
    if (digits.empty() || digits.size() > 18 ||
        digits.find_first_not_of("0123456789") != std::string_view::npos) {
        return std::nullopt;
    }
    return std::stoll(std::string(digits));
}

// Reads at most kMaxRecordBytes + 1 bytes of a regular file (not through a link).
std::optional<std::string> readSmallFile(const std::string& path) {
    const sys::FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    struct stat info {};
    if (!file.valid() || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    std::string text(kMaxRecordBytes + 1, '\0');
    std::size_t got = 0;
    while (got < text.size()) {
        const ssize_t n = ::read(file.get(), text.data() + got, text.size() - got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return std::nullopt;
        }
        if (n == 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    text.resize(got);
    return text;
}

}  // namespace

std::string partRecordText(const PartRecord& r) {
    return std::string(kFormatLine) + "\nurl " + r.url + "\nversion " + r.fileVersion + "\nsize " +
           std::to_string(r.size) + "\nsha256 " + r.sha256 + "\nvalidator " + r.validator + "\n";
}

std::optional<PartRecord> parsePartRecord(std::string_view text) {
    if (text.size() > kMaxRecordBytes || !text.ends_with('\n')) {
        return std::nullopt;
    }
    static constexpr std::array<std::string_view, 5> kKeys = {"url ", "version ", "size ",
                                                              "sha256 ", "validator "};
    std::array<std::string_view, 5> values;
    std::size_t line = 0;
    for (std::size_t start = 0; start < text.size(); ++line) {
        const std::size_t end = text.find('\n', start);
        const std::string_view content = text.substr(start, end - start);
        start = end + 1;
        if (line == 0) {
            if (content != kFormatLine) {
                return std::nullopt;
            }
        } else if (line > kKeys.size() || !content.starts_with(kKeys[line - 1]) ||
                   hasControlCharacter(content)) {
            return std::nullopt;
        } else {
            values[line - 1] = content.substr(kKeys[line - 1].size());
        }
    }
    PartRecord record{std::string(values[0]), std::string(values[1]), -1, std::string(values[3]),
                      std::string(values[4])};
    const std::optional<std::int64_t> size = sizeOf(values[2]);
    if (line != kKeys.size() + 1 || (values[2] != "-1" && !size) || !isSha256Hex(record.sha256)) {
        return std::nullopt;
    }
    record.size = size.value_or(-1);
    return record;
}

namespace {

void removeQuietly(const std::string& path) {
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
        debugLog("the download part " + path + " was not removed (" + std::strerror(errno) + ")");
    }
}

// The part a part's or record's file name belongs to ("" for other names).
std::string partNameOf(std::string name) {
    if (name.starts_with('.') && name.ends_with(".kxnew")) {  // a record being written
        name = name.substr(1, name.size() - 1 - std::string_view(".kxnew").size());
    }
    if (name.ends_with(kRecordSuffix)) {
        name.resize(name.size() - kRecordSuffix.size());
    }
    return name.ends_with(kPartSuffix) && name.size() > kPartSuffix.size() ? name : std::string();
}

}  // namespace

DownloadPart::DownloadPart(const std::string& folder, const std::string& fileName,
                           const std::string& sha256)
    : path_(joinPath(folder, fileName.substr(0, kMaxNameStem) + "." + sha256.substr(0, 16) +
                                 std::string(kPartSuffix))) {}

std::string DownloadPart::name() const {
    return path_.substr(path_.rfind('/') + 1);
}

std::optional<PartRecord> DownloadPart::record() const {
    const std::optional<std::string> text = readSmallFile(recordPath());
    return text ? parsePartRecord(*text) : std::nullopt;
}

std::int64_t DownloadPart::length() const {
    struct stat info {};
    if (::lstat(path_.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return -1;
    }
    return static_cast<std::int64_t>(info.st_size);
}

bool DownloadPart::hasOtherNames() const {
    struct stat info {};
    return ::lstat(path_.c_str(), &info) == 0 && info.st_nlink != 1;
}

std::string DownloadPart::begin(const PartRecord& record) {
    if (hasControlCharacter(record.url) || hasControlCharacter(record.fileVersion) ||
        hasControlCharacter(record.validator) || !isSha256Hex(record.sha256)) {
        remove();
        return "the download of " + record.url + " cannot be recorded";
    }
    // The old bytes go before the new record names them. The record is not flushed: after a
    // power cut a part under a lost or older record is caught by the digest, or started over.
    removeQuietly(path_);
    return placeContent(partRecordText(record), recordPath(), PlacedMode::ByContent, false);
}

void DownloadPart::remove() {
    removeQuietly(path_);
    removeQuietly(recordPath());
}

bool isDownloadPartName(const std::string& name) {
    return !partNameOf(name).empty();
}

void removeDownloadParts(const std::string& folder, const std::set<std::string>& keep) {
    const std::unique_ptr<DIR, int (*)(DIR*)> listing(::opendir(folder.c_str()), &::closedir);
    if (!listing) {
        return;
    }
    while (const dirent* entry = ::readdir(listing.get())) {
        const std::string name = entry->d_name;
        const std::string part = partNameOf(name);
        if (!part.empty() && !keep.contains(part)) {
            removeQuietly(joinPath(folder, name));
        }
    }
}

}  // namespace kx::files

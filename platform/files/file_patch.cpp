#include "platform/files/file_patch.h"

#define ZSTD_STATIC_LINKING_ONLY  // ZSTD_getFrameHeader: the window a frame asks for
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zstd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <optional>

#include "platform/files/sha256_file.h"
#include "platform/system/file_descriptor.h"

namespace kx::files {

namespace {

// A whole file mapped read-only (nothing for an empty file).
class ReadOnlyMapping {
  public:
    explicit ReadOnlyMapping(const std::string& path) {
        const sys::FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
        struct stat info {};
        if (!fd.valid() || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
            failure_ = "cannot read " + path + ": " + std::strerror(errno != 0 ? errno : EINVAL);
            return;
        }
        size_ = static_cast<std::size_t>(info.st_size);
        if (size_ == 0) {
            return;
        }
        void* data = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd.get(), 0);
        if (data == MAP_FAILED) {
            failure_ = "cannot map " + path + ": " + std::strerror(errno);
            size_ = 0;
            return;
        }
        data_ = static_cast<const char*>(data);
        ::madvise(data, size_, MADV_SEQUENTIAL);
    }
    ~ReadOnlyMapping() {
        if (data_ != nullptr) {
            ::munmap(const_cast<char*>(data_), size_);
        }
    }
    ReadOnlyMapping(const ReadOnlyMapping&) = delete;
    ReadOnlyMapping& operator=(const ReadOnlyMapping&) = delete;

    const std::string& failure() const { return failure_; }
    const char* data() const { return data_; }
    std::size_t size() const { return size_; }

  private:
    std::string failure_;
    const char* data_ = nullptr;
    std::size_t size_ = 0;
};

// The window that spans `bytes`, at least zstd's smallest.
int windowLogFor(std::uint64_t bytes) {
    const int log = bytes <= 1 ? 0 : static_cast<int>(std::bit_width(bytes - 1));
    return std::max(log, ZSTD_WINDOWLOG_MIN);
}

using CompressionContext = std::unique_ptr<ZSTD_CCtx, decltype(&ZSTD_freeCCtx)>;
using DecompressionContext = std::unique_ptr<ZSTD_DCtx, decltype(&ZSTD_freeDCtx)>;

bool failed(std::size_t code) {
    return ZSTD_isError(code) != 0;
}

// The result file, reserved on the disk at its whole length (so that a full disk is an error
// here, not a fault while the mapping is written) and mapped for writing.
class ResultMapping {
  public:
    ResultMapping(const std::string& path, std::size_t size) : path_(path), size_(size) {
        ::unlink(path.c_str());
        fd_ = sys::FileDescriptor(
            ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
        if (!fd_.valid()) {
            failure_ = "cannot create " + path + ": " + std::strerror(errno);
            return;
        }
        if (size == 0) {
            return;
        }
        if (const int error = ::posix_fallocate(fd_.get(), 0, static_cast<off_t>(size));
            error != 0) {
            failure_ = "cannot reserve " + std::to_string(size) + " bytes for " + path + ": " +
                       std::strerror(error);
            return;
        }
        void* data = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd_.get(), 0);
        if (data == MAP_FAILED) {
            failure_ = "cannot map " + path + ": " + std::strerror(errno);
            return;
        }
        data_ = static_cast<char*>(data);
    }
    ~ResultMapping() {
        if (data_ != nullptr) {
            ::munmap(data_, size_);
        }
        if (!kept_) {
            ::unlink(path_.c_str());
        }
    }
    ResultMapping(const ResultMapping&) = delete;
    ResultMapping& operator=(const ResultMapping&) = delete;

    const std::string& failure() const { return failure_; }
    char* data() { return data_; }
    void keep() { kept_ = true; }

  private:
    std::string path_;
    std::size_t size_;
    sys::FileDescriptor fd_;
    std::string failure_;
    char* data_ = nullptr;
    bool kept_ = false;
};

}  // namespace

std::string makePatch(const std::string& oldFile, const std::string& newFile, int level,
                      PatchBytes& out) {
    const ReadOnlyMapping newer(newFile);
    if (!newer.failure().empty()) {
        return newer.failure();
    }
    std::optional<ReadOnlyMapping> older;
    if (!oldFile.empty()) {
        older.emplace(oldFile);
        if (!older->failure().empty()) {
            return older->failure();
        }
    }
    const std::uint64_t span = newer.size() + (older ? older->size() : 0);
    if (windowLogFor(span) > kMaxPatchWindowLog) {
        return "the versions of " + newFile + " are too large for a patch (" +
               std::to_string(span) + " bytes together)";
    }
    const CompressionContext context(ZSTD_createCCtx(), &ZSTD_freeCCtx);
    ZSTD_CCtx* cctx = context.get();
    if (cctx == nullptr) {
        return "out of memory";
    }
    if (failed(ZSTD_CCtx_setParameter(cctx, ZSTD_c_compressionLevel, level)) ||
        failed(ZSTD_CCtx_setParameter(cctx, ZSTD_c_enableLongDistanceMatching, 1)) ||
        failed(ZSTD_CCtx_setParameter(cctx, ZSTD_c_windowLog, windowLogFor(span))) ||
        failed(ZSTD_CCtx_setParameter(cctx, ZSTD_c_checksumFlag, 1)) ||
        (older && failed(ZSTD_CCtx_refPrefix(cctx, older->data(), older->size())))) {
        return "the compressor refused its settings";
    }
    // Uninitialised: only the pages the frame is written to are ever touched.
    const std::size_t bound = ZSTD_compressBound(newer.size());
    out.data.reset(new char[bound]);
    const std::size_t written =
        ZSTD_compress2(cctx, out.data.get(), bound, newer.data(), newer.size());
    if (failed(written)) {
        out = {};
        return std::string("compression failed: ") + ZSTD_getErrorName(written);
    }
    out.size = written;
    return "";
}

AppliedPatch applyPatch(const std::string& oldFile, const std::string& patchFile,
                        const std::string& resultFile, std::uint64_t maxResultBytes) {
    AppliedPatch applied;
    const ReadOnlyMapping older(oldFile);
    const ReadOnlyMapping patch(patchFile);
    if (!older.failure().empty() || !patch.failure().empty()) {
        applied.failure = older.failure().empty() ? patch.failure() : older.failure();
        return applied;
    }
    ZSTD_frameHeader header{};
    if (patch.size() == 0 || ZSTD_getFrameHeader(&header, patch.data(), patch.size()) != 0 ||
        header.frameType != ZSTD_frame ||
        ZSTD_findFrameCompressedSize(patch.data(), patch.size()) != patch.size()) {
        applied.failure = "the patch is not one whole frame";
        return applied;
    }
    if (header.frameContentSize == ZSTD_CONTENTSIZE_UNKNOWN ||
        header.frameContentSize > maxResultBytes) {
        applied.failure = "the patch does not state a result of at most " +
                          std::to_string(maxResultBytes) + " bytes";
        return applied;
    }
    if (header.windowSize > (std::uint64_t{1} << kMaxPatchWindowLog)) {
        applied.failure =
            "the patch asks for a window of " + std::to_string(header.windowSize) + " bytes";
        return applied;
    }
    const auto size = static_cast<std::size_t>(header.frameContentSize);
    const DecompressionContext context(ZSTD_createDCtx(), &ZSTD_freeDCtx);
    ZSTD_DCtx* dctx = context.get();
    if (dctx == nullptr ||
        failed(
            ZSTD_DCtx_setParameter(dctx, ZSTD_d_windowLogMax, windowLogFor(header.windowSize))) ||
        failed(ZSTD_DCtx_refPrefix(dctx, older.data(), older.size()))) {
        applied.failure = "out of memory";
        return applied;
    }
    ResultMapping result(resultFile, size);
    if (!result.failure().empty()) {
        applied.failure = result.failure();
        return applied;
    }
    const std::size_t decoded =
        ZSTD_decompressDCtx(dctx, result.data(), size, patch.data(), patch.size());
    if (failed(decoded) || decoded != size) {
        applied.failure = std::string("the patch does not apply: ") +
                          (failed(decoded) ? ZSTD_getErrorName(decoded) : "short result");
        return applied;
    }
    Sha256 digest;
    digest.update(result.data(), size);
    applied.sha256 = digest.finishHex();
    applied.size = size;
    result.keep();
    return applied;
}

}  // namespace kx::files

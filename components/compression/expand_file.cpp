#include "components/compression/expand_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "components/compression/archive_member.h"
#include "components/compression/expand_error.h"
#include "components/compression/stream_decoder.h"
#include "platform/files/atomic_file.h"
#include "platform/system/file_descriptor.h"
#include "platform/text/path_text.h"

namespace kx::compression {

namespace {

constexpr std::string_view kCompressedEnding = ".cmp";
constexpr std::size_t kCopyBufferSize = 64 * 1024;

// The input's file name without its ".cmp" ending.
std::string outputNameOf(const std::string& inputFile) {
    const std::string name = std::filesystem::path(inputFile).filename().string();
    if (!name.ends_with(kCompressedEnding)) {
        throw ExpandError("its name does not end in " + quoted(std::string(kCompressedEnding)));
    }
    const std::string bare = name.substr(0, name.size() - kCompressedEnding.size());
    if (bare.empty() || bare == "." || bare == "..") {
        throw ExpandError("its name leaves no file name once " +
                          quoted(std::string(kCompressedEnding)) + " is taken off");
    }
    return bare;
}

sys::FileDescriptor openInput(const std::string& path) {
    // O_NONBLOCK keeps open() from waiting for a writer when the path is a FIFO; the type check
    // below then refuses it.
    sys::FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!fd.valid()) {
        const int error = errno;
        throw ExpandError(std::string("it cannot be opened (") + std::strerror(error) + ")");
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        throw ExpandError("it is not a regular file");
    }
    return fd;
}

// The destination's own faults, named as such; others (no right to write there) are named by the
// output's failure.
void requireFolder(const std::string& folder) {
    struct stat info {};
    const bool found = ::stat(folder.c_str(), &info) == 0;
    if (!found && errno == ENOENT) {
        throw ExpandError("the destination folder " + quoted(folder) + " does not exist");
    }
    if ((found && !S_ISDIR(info.st_mode)) || (!found && errno == ENOTDIR)) {
        throw ExpandError("the destination folder " + quoted(folder) + " is not a folder");
    }
}

// The first bytes of the input, read without moving its offset.
std::string headOf(const sys::FileDescriptor& input) {
    std::string head(kCompressionMagicSize, '\0');
    ssize_t got = -1;
    do {
        got = ::pread(input.get(), head.data(), head.size(), 0);
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        const int error = errno;
        throw ExpandError(std::string("it cannot be read (") + std::strerror(error) + ")");
    }
    head.resize(static_cast<std::size_t>(got));
    return head;
}

// Copies the member to the output, counting every byte against the limit before it is written.
void copyMember(ArchiveMember& member, files::AtomicFile& output, std::uint64_t maxBytes) {
    std::vector<char> buffer(kCopyBufferSize);
    std::uint64_t written = 0;
    while (const std::size_t got = member.read(buffer.data(), buffer.size())) {
        if (got > maxBytes - written) {
            throw tooLarge(maxBytes);
        }
        if (auto why = output.write(std::string_view(buffer.data(), got)); !why.empty()) {
            throw ExpandError(why);
        }
        written += got;
    }
}

std::string expand(const ExpandRequest& request) {
    if (request.destinationFolder.empty()) {
        throw ExpandError("no destination folder was given");
    }
    const std::string outputName = outputNameOf(request.inputFile);
    const sys::FileDescriptor input = openInput(request.inputFile);
    const Compression compression = detectCompression(headOf(input));
    const std::unique_ptr<StreamDecoder> decoder =
        compression == Compression::None ? nullptr : makeDecoder(compression, input.get());
    ArchiveMember member(input.get(), decoder.get(), request.maxExpandedBytes);
    requireFolder(request.destinationFolder);
    files::AtomicFile output(joinPath(request.destinationFolder, outputName),
                             files::PlacedMode::ByUmask);
    if (!output.failure().empty()) {
        throw ExpandError(output.failure());
    }
    copyMember(member, output, request.maxExpandedBytes);
    member.requireEnd();
    if (auto why = output.commit(); !why.empty()) {
        throw ExpandError(why);
    }
    return output.target();
}

}  // namespace

ExpandResult expandFile(const ExpandRequest& request) {
    if (request.inputFile.empty()) {
        return {false, "Cannot expand: no input file was given", {}};
    }
    try {
        return {true, {}, expand(request)};
    } catch (const std::exception& e) {
        // ExpandError, or a failure of the machine itself (memory): the same clean refusal.
        return {false, "Cannot expand " + quoted(request.inputFile) + ": " + e.what(), {}};
    }
}

}  // namespace kx::compression

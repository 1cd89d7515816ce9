#pragma once
// The one regular file an input holds: an archive's member read through libarchive, or the
// decoded content of a compressed single file, read straight from its decoder.
//
// A plain input must be a zip or tar archive. A compressed input (its decoder given) is a tar
// archive when its decoded content starts with a valid tar header block, and otherwise a single
// file: the decoded content itself, whatever it holds (zeros, another archive) and even empty.
//
// The constructor moves to the first entry and refuses, with ExpandError: an unknown or damaged
// format, an empty archive, a member path that is absolute or has a ".." part, and an entry that is
// not a regular file (folder, symbolic or hard link, device, FIFO, socket).

#include <archive.h>

#include <cstdint>
#include <exception>
#include <memory>
#include <vector>

#include "components/compression/stream_decoder.h"

namespace kx::compression {

class ArchiveMember {
  public:
    // `fd` is the input, positioned at its start; `decoder` reads it when the input is
    // compressed, else null. Both must outlive the object. A decoded stream longer than
    // `maxMemberBytes` plus room for archive headers is refused as too large, so that neither
    // the member nor what follows it can make the expansion run on without end.
    ArchiveMember(int fd, StreamDecoder* decoder, std::uint64_t maxMemberBytes);
    ~ArchiveMember();
    ArchiveMember(const ArchiveMember&) = delete;
    ArchiveMember& operator=(const ArchiveMember&) = delete;

    // Reads the member's data into `out`; 0 at its end. Raises ExpandError when the data is
    // damaged.
    std::size_t read(char* out, std::size_t capacity);

    // Raises ExpandError when another entry follows the member, or when the rest of a compressed
    // input is damaged (its check is verified to the end).
    void requireEnd();

  private:
    static la_ssize_t readDecoded(archive* reader, void* self, const void** buffer);
    std::size_t decode(char* out, std::size_t capacity);
    std::size_t takeReadAhead(char* out, std::size_t capacity);
    void openArchive(int fd);
    void moveToMember();
    [[noreturn]] void failWithArchiveError(const char* what);

    std::unique_ptr<archive, int (*)(archive*)> reader_{nullptr, &archive_read_free};
    StreamDecoder* decoder_;
    std::uint64_t maxMemberBytes_;
    std::uint64_t decoded_ = 0;
    std::vector<char> chunk_;
    // Decoded bytes read ahead to recognise a tar archive, not yet handed on.
    std::size_t readAheadStart_ = 0;
    std::size_t readAheadEnd_ = 0;
    std::exception_ptr decoderFailure_;
    bool singleFile_ = false;  // the decoded stream is the member itself; no libarchive
};

}  // namespace kx::compression

#pragma once
// A download kept between attempts, in this run or at a later start, so that it can go on where
// it stopped: the bytes received so far (the part) and, beside them, a small record of what they
// are a part of. Both live in the downloads folder under names made from the file's name and
// digest: "<name>.<16 hex digits of the digest>.kxpart" and the same + ".rec".
//
// The record is written before the bytes: beginning anew removes the old part first, then puts
// the record in place (atomically), then the part grows by appending. The record never states how
// many bytes the part holds (the part's own length does), so a process killed at any moment leaves
// a record and a part that agree, and a part is continued only under the record it was begun with.
// A power cut may leave a part whose tail was never written; the digest checked before the file is
// used finds that, and the part is thrown away.
//
// Everything read back from the folder is untrusted: a record that is too large, malformed or of
// another format reads as no record, and a part that is not a regular file (a symbolic link, a
// folder) counts as no part. A part may have a second name (the download file it was handed over
// as); appending to it then would write into that file too, so callers append only to a part
// without one (hasOtherNames).

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace kx::files {

// What a part is a part of.
struct PartRecord {
    std::string url;          // where the bytes come from, as the request named it
    std::string fileVersion;  // the version the install list gives the file
    std::int64_t size = -1;   // the whole file's length as the server announced it; -1: unknown
    std::string sha256;       // the digest the install list gives the file (64 hex digits)
    std::string validator;    // the server's strong ETag or Last-Modified date; "": none

    bool operator==(const PartRecord&) const = default;
};

// The text a record is kept as, and the record a text holds: nullopt unless it is exactly a
// record's text (format line, then url, version, size, sha256 and validator, one a line, no
// control characters, at most 16 KiB).
std::string partRecordText(const PartRecord& record);
std::optional<PartRecord> parsePartRecord(std::string_view text);

class DownloadPart {
  public:
    // The part of the file `fileName` whose digest is `sha256`, in `folder`.
    DownloadPart(const std::string& folder, const std::string& fileName, const std::string& sha256);

    const std::string& path() const { return path_; }
    std::string recordPath() const { return path_ + ".rec"; }
    // The part's file name, as removeDownloadParts keeps it.
    std::string name() const;

    // The record beside the part, nullopt when there is none that can be read.
    std::optional<PartRecord> record() const;
    // The number of bytes the part holds, or -1 when there is no usable part.
    std::int64_t length() const;
    // Whether the part's bytes also go by another name.
    bool hasOtherNames() const;

    // Begins the part anew for `record`: removes the old part, then writes the record. Returns ""
    // or why the record could not be written.
    std::string begin(const PartRecord& record);
    // Removes the part and its record.
    void remove();

  private:
    std::string path_;
};

// Whether `name` is the file name of a part or of its record (or of a record being written).
bool isDownloadPartName(const std::string& name);

// Removes, from `folder`, every part and record whose part's name is not in `keep`.
void removeDownloadParts(const std::string& folder, const std::set<std::string>& keep = {});

}  // namespace kx::files

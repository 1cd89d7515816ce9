#pragma once
// Putting a new version of a file in place so that the target is, at every moment and after a
// crash or power cut at any moment, either its old or its new version, complete:
//
//   1. the new content is written beside the target under the name ".<name>.kxnew" (a hard link
//      to the source when both lie on one file system, else a copy), a stale one from a run that
//      died before step 4 being replaced;
//   2. its mode is set: rwxr-xr-x when the content starts as a program (an ELF header, or "#!"),
//      rw-r--r-- otherwise, or rw------- when the caller asks for an owner-only file;
//   3. it is flushed to disk (fsync);
//   4. it is renamed over the target, and the folder is flushed, so that the rename lasts.
//
// A placement that fails at any step leaves the old target as it was and removes its temporary
// file; the caller gets the reason. The source is never changed, apart from its mode when it was
// linked.

#include <string>
#include <string_view>

namespace kx::files {

// Outcome of a placement: empty on success, else why it failed ("cannot rename ... : Permission
// denied").
using PlacementFailure = std::string;

// Places a copy of the file `source` at `target`.
PlacementFailure placeFileCopy(const std::string& source, const std::string& target);

// The mode a placed file gets: the one its content calls for, or rw------- (private data).
enum class PlacedMode { ByContent, OwnerOnly };

// Places a file holding `content` at `target`. Without `durable`, steps 3 and 4 flush nothing: the
// target is still its old or its new version after a crash, but after a power cut it may be
// either, or empty; for files whose loss costs nothing but time.
PlacementFailure placeContent(const std::string& content, const std::string& target,
                              PlacedMode mode = PlacedMode::ByContent, bool durable = true);

// The temporary name of a target: the same folder, "." + name + ".kxnew".
std::string temporaryPathFor(const std::string& target);

// Whether the first bytes of `head` mark a program: "\x7F" "ELF" or "#!".
bool startsAsProgram(std::string_view head);

// Gives `path` the mode its content calls for (step 2 above); false when it cannot be read or
// changed.
bool setModeByContent(const std::string& path);

}  // namespace kx::files

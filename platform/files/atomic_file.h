#pragma once
// The one way the programs write a file whole or not at all: the new content goes to a file beside
// its target that nobody else sees, and takes the target's name only once it is complete, so that
// the target is, at every moment and after a crash at any moment, either its old or its new
// version.
//
//   1. the new content is written to an unnamed file in the target's folder (O_TMPFILE: the
//      kernel frees it when the process dies first); on file systems without unnamed files, to
//      ".<name>.kxnew" beside the target, a stale one from a run that died being replaced;
//   2. commit() sets its mode (PlacedMode), flushes it to disk (fsync), gives an unnamed file the
//      temporary name and renames it over the target; then it flushes the folder, so that the
//      rename lasts. commitNew() instead gives it the target's name only when no file has that
//      name yet.
//
// Without a commit, or when a step fails, nothing is left behind and the target is as it was.
// Every failure is a text that names the step, the file and the reason ("cannot replace
// /x/y: Permission denied"); an empty text is success.

#include <string>
#include <string_view>

#include "platform/system/file_descriptor.h"

namespace kx::files {

// Outcome of a step: empty on success, else why it failed.
using PlacementFailure = std::string;

// The mode a written file gets: the one its content calls for (rwxr-xr-x for a program: an ELF
// header or "#!"; rw-r--r-- otherwise), rw------- (private data), or what the process's umask
// leaves of rw-rw-rw-.
enum class PlacedMode { ByContent, OwnerOnly, ByUmask };

class AtomicFile {
  public:
    // Starts the new version of `target`; failure() says whether that worked.
    explicit AtomicFile(const std::string& target, PlacedMode mode = PlacedMode::ByContent);
    // Takes the existing file `source` as the new version through a hard link, without copying
    // it; failure() is not empty when the two lie on different file systems (or links fail).
    AtomicFile(const std::string& target, const std::string& source);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    const PlacementFailure& failure() const { return failure_; }
    const std::string& target() const { return target_; }

    PlacementFailure write(std::string_view data);
    // Appends the whole file open as `fd`, copied in the kernel.
    PlacementFailure copyFrom(int fd);
    // Puts the file in place over the target. Without `durable`, nothing is flushed: the target is
    // still its old or its new version after a crash, but after a power cut it may be either, or
    // empty; for files whose loss costs nothing but time.
    PlacementFailure commit(bool durable = true);
    // Puts the file in place only where nothing has the target's name (durably).
    PlacementFailure commitNew();

  private:
    PlacementFailure fail(const std::string& what, const std::string& path);
    PlacementFailure nameTemporary();
    PlacementFailure finish(bool durable);
    void removeTemporary();

    std::string target_;
    std::string name_;       // the target's name in its folder
    std::string temporary_;  // the temporary's name in the folder, empty while it has none
    PlacedMode mode_;
    sys::FileDescriptor folder_;
    sys::FileDescriptor fd_;
    PlacementFailure failure_;
    bool placed_ = false;
};

// The temporary name of a target: the same folder, "." + name + ".kxnew".
std::string temporaryPathFor(const std::string& target);

// Whether the first bytes of `head` mark a program: "\x7F" "ELF" or "#!".
bool startsAsProgram(std::string_view head);

// Gives `path` the mode its content calls for; false when it cannot be read or changed.
bool setModeByContent(const std::string& path);

}  // namespace kx::files

#pragma once
// Putting a new version of a file in place with AtomicFile (atomic_file.h), so that the target is,
// at every moment and after a crash or power cut at any moment, either its old or its new version,
// complete. A copied file is a hard link to the source when both lie on one file system (the
// source is then never changed, apart from its mode), else a copy; its mode is the one its
// content calls for.

#include <string>

#include "platform/files/atomic_file.h"

namespace kx::files {

// Places a copy of the file `source` at `target`.
PlacementFailure placeFileCopy(const std::string& source, const std::string& target);

// Places a file holding `content` at `target`; `durable` as AtomicFile::commit.
PlacementFailure placeContent(const std::string& content, const std::string& target,
                              PlacedMode mode = PlacedMode::ByContent, bool durable = true);

}  // namespace kx::files

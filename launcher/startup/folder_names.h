#pragma once
// Folder helpers of the start-up code: one-folder creation, and the check that a name from outside
// data names one folder and nothing more. Paths are joined with joinPath of path_text.h, as
// everywhere in the product.

#include <string>

#include "platform/text/path_text.h"

namespace kx::launcher {

// Makes the one folder `path` (its parent must exist). An existing folder is left unchanged.
// Raises RuntimeError 75 ("Path/File access error") when the folder cannot be made.
void createFolder(const std::string& path);

// Raises RuntimeError 52 ("Bad file name or number") unless `name` is a single folder name: not
// empty, not "." or "..", without "/" and NUL.
void requirePlainFolderName(const std::string& name);

}  // namespace kx::launcher

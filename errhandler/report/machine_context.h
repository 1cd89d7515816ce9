#pragma once
// Facts about the process and the machine that an error report carries besides the audits.

#include <string>
#include <string_view>

namespace kx::errhandler {

// The token other components of the product leave in "LastTickToken.tmp" in the token folder
// (sys::tokenDirectory): the file's first line cut by lastTickTokenFromLine. "" when the file
// cannot be read or its first line is longer than 64 KiB. Never fails.
std::string GetLastTickToken();

// The token within one line: every CR LF pair removed, then the first 36 of the last 40
// characters (the whole line when shorter than 40). A line of 40 characters or more thus loses
// its last four.
std::string lastTickTokenFromLine(std::string_view line);

// The file that holds the code of this library (the shared object it is linked into, or the
// program when it is linked statically), as an absolute path. "" when it cannot be found.
std::string GetLibraryFilePath();

// The folder of GetLibraryFilePath(), without a trailing "/". "" when it cannot be found.
std::string GetLibraryDirectory();

// `libraryDirectory` + "/" + the file name of the executable that hosts this process ("" for the
// name when /proc/self/exe cannot be read).
std::string GetParentProcess(const std::string& libraryDirectory);
// The same with GetLibraryDirectory().
std::string GetParentProcess();

}  // namespace kx::errhandler

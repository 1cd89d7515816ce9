#pragma once
// The debug log: a line for every failure the programs step over on purpose (a statement of an
// errors-ignored stretch, a best-effort step, a log file that could not be written), so that
// what was skipped can be traced when something behaves oddly. Off unless switched on by the
// environment variable KX_DEBUG_LOG, read once per process:
//
//   unset, "" or "0"   off
//   "1"                lines go to standard error
//   an absolute path   lines are appended to that file (created owner-only when missing)
//
// Any other value leaves the log off. Each line is "KX debug [<pid>] <message>" and goes out in
// one write, so the lines of processes sharing a file do not interleave. A log that cannot be
// written is given up silently: it must never change what the program does.

#include <string>
#include <string_view>

namespace kx {

// Where the log goes for a value of the switch.
struct DebugLogTarget {
    enum class Kind { Off, StandardError, File };
    Kind kind = Kind::Off;
    std::string path;  // for Kind::File
};
DebugLogTarget debugLogTargetFor(const char* switchValue);

bool debugLogEnabled();

// Writes one line when the log is on; `message` should say what was skipped and why.
void debugLog(std::string_view message);

}  // namespace kx

#pragma once
// The context of an error report taken apart for reading. The launcher's context is its variable
// dump (tagged text: the local, module and global variables and the parameters of the failing
// procedure, one "<name>value</name>" entry a line, arrays and collections over several lines),
// followed by the machine's diagnostics ("Error Handler Version = ..." and the lines after it).
// Any text is accepted: what does not read as either is kept as it is, so nothing of a report is
// ever hidden.

#include <string>
#include <string_view>
#include <vector>

namespace kx::server::support {

// One variable of the dump; `value` holds the lines of an entry that spans several (without its
// opening and closing tags). An entry the dump could not format has no name.
struct DumpEntry {
    std::string name;
    std::string value;
    friend bool operator==(const DumpEntry&, const DumpEntry&) = default;
};

struct DumpSection {
    std::string title;  // "Local variables", "Module variables", "Global variables", "Parameters"
    std::vector<DumpEntry> entries;  // none for "{None}"
};

// A labelled line of the diagnostics ("Memory Load = %42" is "Memory Load", "%42"); the lines that
// follow it without a label of their own (the audits' "** ..." findings) are part of its value.
struct DiagnosticsItem {
    std::string label;
    std::string value;
};

struct ContextLayout {
    std::vector<DumpSection> sections;  // in the order they appear; none without a dump
    std::vector<DiagnosticsItem> diagnostics;
    std::string other;  // what is neither, trimmed
};

ContextLayout layOutContext(std::string_view context);

}  // namespace kx::server::support

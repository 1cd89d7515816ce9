#include "server/support/context_layout.h"

#include <algorithm>
#include <array>

#include "platform/text/ascii_text.h"

namespace kx::server::support {

namespace {

constexpr auto npos = std::string_view::npos;
constexpr std::string_view kDiagnosticsStart = "Error Handler Version = ";
// The sections of the dump: their tags and their titles.
constexpr std::array<std::pair<std::string_view, std::string_view>, 4> kSections = {
    {{"LocalVariables", "Local variables"},
     {"ModuleVariables", "Module variables"},
     {"GlobalVariables", "Global variables"},
     {"Parameters", "Parameters"}}};

std::string trimmedText(std::string_view text) {
    return std::string(ascii::trimWhitespace(text));
}

// Where the line holding `at` ends (its line feed, or the end of the text).
std::size_t lineEnd(std::string_view text, std::size_t at) {
    return std::min(text.find('\n', at), text.size());
}

// The diagnostics begin at the last line that starts as they do: the dump before them may quote
// anything.
std::size_t diagnosticsStart(std::string_view text) {
    for (std::size_t at = text.rfind(kDiagnosticsStart); at != npos;
         at = at == 0 ? npos : text.rfind(kDiagnosticsStart, at - 1)) {
        if (at == 0 || text[at - 1] == '\n') {
            return at;
        }
    }
    return npos;
}

// An entry over several lines (an array or a collection) ends with its closing tag on a line of
// its own level: the lines of its elements are indented, and their tags carry the same name.
// Returns the end of the value and the position after the closing tag.
std::pair<std::size_t, std::size_t> multiLineEnd(std::string_view body, std::size_t from,
                                                 const std::string& closing) {
    for (std::size_t line = from; line < body.size(); line = lineEnd(body, line) + 1) {
        const std::size_t close = body.find(closing, line);
        if (body[line] != ' ' && close != npos && close < lineEnd(body, line)) {
            return {close, close + closing.size()};
        }
    }
    return {body.size(), body.size()};
}

std::vector<DumpEntry> readEntries(std::string_view body) {
    std::vector<DumpEntry> entries;
    std::size_t at = 0;
    while (at < body.size()) {
        const std::size_t end = lineEnd(body, at);
        if (ascii::isWhitespace(body[at])) {
            ++at;
        } else if (body.substr(at).starts_with("{None}")) {
            at += 6;
        } else if (const std::size_t nameEnd = body.find('>', at);
                   body[at] != '<' || nameEnd == npos || nameEnd > end) {
            // Not a tag: an entry that could not be formatted, up to the next entry of its line.
            const std::size_t next = std::min(body.find('<', at + 1), end);
            entries.push_back({"", trimmedText(body.substr(at, next - at))});
            at = next;
        } else {
            const std::string_view name = body.substr(at + 1, nameEnd - at - 1);
            const std::string closing = "</" + std::string(name.substr(0, name.find(' '))) + ">";
            const std::size_t sameLine = body.find(closing, nameEnd + 1);
            if (sameLine != npos && sameLine < end) {
                entries.push_back({std::string(name),
                                   std::string(body.substr(nameEnd + 1, sameLine - nameEnd - 1))});
                at = sameLine + closing.size();
            } else {
                const std::size_t valueStart = std::min(end + 1, body.size());
                const auto [valueEnd, after] = multiLineEnd(body, valueStart, closing);
                std::string_view value = body.substr(valueStart, valueEnd - valueStart);
                entries.push_back({std::string(name), std::string(ascii::trimmed(value, [](char c) {
                                       return c == '\r' || c == '\n';
                                   }))});
                at = after;
            }
        }
    }
    return entries;
}

std::vector<DiagnosticsItem> readDiagnostics(std::string_view text) {
    std::vector<DiagnosticsItem> items;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = lineEnd(text, at);
        std::string_view line = text.substr(at, end - at);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        at = end + 1;
        const std::size_t equals = line.find(" = ");
        const std::size_t colon = line.find(": ");
        const std::size_t split = std::min(equals, colon);
        if (split == npos || line.starts_with("** ") || split == 0) {
            if (items.empty()) {
                items.push_back({});
            }
            items.back().value += "\n" + std::string(line);
            continue;
        }
        items.push_back({std::string(line.substr(0, split)),
                         std::string(line.substr(split + (split == equals ? 3 : 2)))});
    }
    for (DiagnosticsItem& item : items) {
        item.value = trimmedText(item.value);
    }
    return items;
}

}  // namespace

ContextLayout layOutContext(std::string_view context) {
    ContextLayout layout;
    const std::size_t diagnostics = diagnosticsStart(context);
    if (diagnostics != npos) {
        layout.diagnostics = readDiagnostics(context.substr(diagnostics));
    }
    const std::string_view dump = context.substr(0, diagnostics);
    std::string other;
    std::size_t at = 0;
    for (const auto& [tag, title] : kSections) {
        const std::string open = "<" + std::string(tag) + ">";
        const std::string close = "</" + std::string(tag) + ">";
        const std::size_t start = dump.find(open, at);
        const std::size_t end = start == npos ? npos : dump.find(close, start);
        if (end == npos) {
            continue;
        }
        other.append(dump.substr(at, start - at));
        const std::size_t bodyStart = start + open.size();
        layout.sections.push_back(
            {std::string(title), readEntries(dump.substr(bodyStart, end - bodyStart))});
        at = end + close.size();
    }
    other.append(dump.substr(at));
    // The wrapper of the first three sections carries nothing of its own.
    for (const std::string_view wrapper : {"<Variables>", "</Variables>"}) {
        if (!layout.sections.empty()) {
            for (std::size_t found = other.find(wrapper); found != npos;
                 found = other.find(wrapper, found)) {
                other.erase(found, wrapper.size());
            }
        }
    }
    layout.other = trimmedText(other);
    return layout;
}

}  // namespace kx::server::support

#include "platform/rowset/tool/kxrowset_cli.h"

#include <iostream>
#include <iterator>
#include <optional>

#include "platform/rowset/recordset.h"
#include "platform/rowset/rowset_xml.h"
#include "platform/rowset/tool/rowset_json.h"
#include "platform/runtime/run_time_error.h"

namespace kx::rowset {

namespace {

constexpr int kUsageError = 2;
constexpr int kDataError = 1;
constexpr const char* kUsage = "Usage: kxrowset show FILE|- [--filter EXPR]\n";

struct ShowCommand {
    std::string source;
    std::optional<std::string> filter;
};

std::optional<ShowCommand> parseArguments(const std::vector<std::string>& args) {
    if (args.size() < 2 || args[0] != "show") {
        return std::nullopt;
    }
    ShowCommand command{args[1], std::nullopt};
    for (std::size_t i = 2; i < args.size(); ++i) {
        if (args[i] == "--filter" && i + 1 < args.size() && !command.filter) {
            command.filter = args[++i];
        } else {
            return std::nullopt;
        }
    }
    return command;
}

// Standard input, read up to one byte past the document limit so the reader reports the size.
std::string readBounded(std::istream& in) {
    std::string text;
    char buffer[64 * 1024];
    while (in && text.size() <= kMaxDocumentBytes) {
        in.read(buffer, sizeof buffer);
        text.append(buffer, static_cast<std::size_t>(in.gcount()));
    }
    return text;
}

}  // namespace

int runKxRowset(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
                std::ostream& err) {
    if (args.size() == 1 && args[0] == "--help") {
        out << kUsage
            << "Prints the schema and the rows of a persisted row set (ADO XML) as JSON; \"-\" "
               "reads it from standard input, --filter keeps the rows the expression selects.\n";
        return 0;
    }
    const auto command = parseArguments(args);
    if (!command) {
        err << kUsage;
        return kUsageError;
    }
    try {
        Recordset rs;
        if (command->source == "-") {
            rs.OpenXml(readBounded(in));
        } else {
            rs.Open(std::filesystem::path(command->source));
        }
        if (command->filter) {
            rs.setFilter(Variant(*command->filter));
        }
        out << rowsetToJson(rs) << '\n';
        return out ? 0 : kDataError;
    } catch (const RuntimeError& e) {
        err << "kxrowset: " << e.description() << '\n';
        return kDataError;
    }
}

}  // namespace kx::rowset

#include "errhandler/kxdiag/kxdiag_commands.h"

#include <istream>
#include <ostream>

#include "errhandler/http/http_transfer.h"
#include "errhandler/report/diagnostics_block.h"
#include "errhandler/report/mask_passwords.h"
#include "errhandler/report/version.h"

namespace kx::errhandler {

namespace {

constexpr const char* kUsage =
    "Usage: kxdiag\n"
    "  or:  kxdiag mask\n"
    "  or:  kxdiag version FILE...\n"
    "  or:  kxdiag post URL ITEM...\n"
    "Without a command, prints the diagnostics block of an error report; mask masks passwords in\n"
    "standard input; version prints the version of each file; post posts name:value items as an\n"
    "error report does.\n";

int usage(std::ostream& err, const std::string& problem) {
    err << "kxdiag: " << problem << "\n" << kUsage;
    return kKxdiagUsage;
}

int mask(std::istream& in, std::ostream& out, std::ostream& err) {
    std::string text;
    char chunk[65536];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        text.append(chunk, static_cast<std::size_t>(in.gcount()));
        if (text.size() > kKxdiagMaxInputBytes) {
            err << "kxdiag: the input is larger than " << kKxdiagMaxInputBytes << " bytes\n";
            return kKxdiagFailed;
        }
    }
    out << MaskPasswords(text);
    return kKxdiagOk;
}

int post(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() < 3) {
        return usage(err, "post needs a URL and at least one item");
    }
    HTTPTransfer transfer;
    for (std::size_t i = 2; i < args.size(); ++i) {
        if (args[i].find(':') == std::string::npos) {
            return usage(err, "an item must read name:value, not \"" + args[i] + "\"");
        }
        transfer.PostItems()->Add(Variant(args[i]));
    }
    // The same time-out the error dialog sets before it posts.
    transfer.setTimeOut(30);
    std::string answer;
    try {
        answer = transfer.GetURLAsString(args[1]);
    } catch (const RuntimeError& error) {
        err << "kxdiag: " << error.description() << "\n";
        return kKxdiagFailed;
    }
    const Transfer& engine = transfer.engine();
    out << engine.StatusCode << "\n" << engine.StatusText << "\n" << answer;
    if (!answer.empty() && answer.back() != '\n') {
        out << "\n";
    }
    return engine.StatusCode >= 200 && engine.StatusCode <= 299 ? kKxdiagOk : kKxdiagFailed;
}

}  // namespace

int runKxdiag(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
              std::ostream& err) {
    if (args.empty()) {
        out << formatDiagnosticsBlock(gatherDiagnostics());
        return kKxdiagOk;
    }
    const std::string& command = args[0];
    if (command == "--help" && args.size() == 1) {
        out << kUsage;
        return kKxdiagOk;
    }
    if (command == "mask" && args.size() == 1) {
        return mask(in, out, err);
    }
    if (command == "version" && args.size() >= 2) {
        for (std::size_t i = 1; i < args.size(); ++i) {
            out << GetFileVersion(args[i]) << "\n";
        }
        return kKxdiagOk;
    }
    if (command == "post") {
        return post(args, out, err);
    }
    return usage(err, "unknown command or wrong arguments: " + command);
}

}  // namespace kx::errhandler

#include "platform/com/regsvr32.h"

#include <filesystem>
#include <optional>
#include <ostream>

#include "platform/com/component.h"
#include "platform/com/library_loader.h"

namespace kx::com {

namespace {

constexpr const char* kUsage = "Usage: regsvr32 [/u] [/s] FILE";
constexpr const char* kOptions =
    "Registers the component library FILE (calls its DllRegisterServer).\n"
    "  /u  unregisters it instead (DllUnregisterServer)\n"
    "  /s  silent: no message on success or failure\n";

struct Regsvr32Request {
    bool unregister = false;
    std::string file;
};

// Paths start with "/" here, so only the exact two-character forms count as options.
bool isOption(const std::string& argument, char letter) {
    return argument.size() == 2 && (argument[0] == '/' || argument[0] == '-') &&
           (argument[1] == letter || argument[1] == letter - 'a' + 'A');
}

std::optional<Regsvr32Request> parseArguments(const std::vector<std::string>& arguments) {
    Regsvr32Request request;
    bool optionsEnded = false;
    for (const std::string& argument : arguments) {
        const bool option =
            !optionsEnded && argument.size() == 2 && (argument[0] == '/' || argument[0] == '-');
        if (!optionsEnded && argument == "--") {
            optionsEnded = true;
        } else if (option && isOption(argument, 's')) {
            continue;  // read before parsing: it must also quieten usage errors
        } else if (option && isOption(argument, 'u')) {
            request.unregister = true;
        } else if (option || !request.file.empty() || argument.empty()) {
            return std::nullopt;
        } else {
            request.file = argument;
        }
    }
    if (request.file.empty()) {
        return std::nullopt;
    }
    return request;
}

}  // namespace

int runRegsvr32(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    if (arguments.size() == 1 && (arguments[0] == "--help" || arguments[0] == "/?")) {
        out << kUsage << '\n' << kOptions;
        return kRegsvr32Succeeded;
    }
    // Quiet even when the rest of the command line is wrong.
    bool silent = false;
    for (const std::string& argument : arguments) {
        silent = silent || isOption(argument, 's');
    }
    const auto request = parseArguments(arguments);
    const auto fail = [&](int code, const std::string& message) {
        if (!silent) {
            err << message << '\n';
        }
        return code;
    };
    if (!request) {
        return fail(kRegsvr32BadUsage, kUsage);
    }
    const std::string& file = request->file;
    const char* entryName = request->unregister ? kDllUnregisterServer : kDllRegisterServer;

    // An absolute path keeps dlopen from searching the library path for a bare file name, and
    // is what the library records as its own location.
    std::error_code error;
    const std::string path = std::filesystem::absolute(file, error).string();
    LoadedLibrary library(error ? file : path);
    if (!library.loaded()) {
        return fail(kRegsvr32LoadFailed,
                    "The module \"" + file + "\" failed to load: " + library.error());
    }
    const auto entry = library.entryPoint<DllEntryFunction>(entryName);
    if (entry == nullptr) {
        return fail(kRegsvr32NoEntryPoint, "The module \"" + file +
                                               "\" was loaded but the entry-point " + entryName +
                                               " was not found.");
    }
    const HRESULT result = entry();
    if (!succeeded(result)) {
        return fail(kRegsvr32EntryPointFailed,
                    "The module \"" + file + "\" was loaded but the call to " + entryName +
                        " failed with error code " + hresultText(result) + ".");
    }
    if (!silent) {
        out << entryName << " in " << file << " succeeded.\n";
    }
    return kRegsvr32Succeeded;
}

}  // namespace kx::com

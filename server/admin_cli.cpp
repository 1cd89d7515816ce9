#include "admin_cli.h"

#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <functional>
#include <iostream>
#include <map>
#include <set>
#include <stdexcept>
#include <thread>

#include "catalog.h"
#include "demo_catalog.h"
#include "http_server.h"
#include "password.h"
#include "publish.h"

namespace kx::server {

namespace {

class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct Arguments {
    std::vector<std::string> positional;
    std::map<std::string, std::string> values;
    std::set<std::string> flags;

    std::string value(const std::string& name, const std::string& fallback = {}) const {
        const auto it = values.find(name);
        return it == values.end() ? fallback : it->second;
    }
};

struct Command {
    std::string name;
    std::string usage;  // the arguments after the command name
    std::set<std::string> valueOptions;
    std::set<std::string> flagOptions;
    std::size_t positionalCount;
    std::function<int(const Arguments&, std::ostream&)> run;
};

Arguments parseArguments(const std::vector<std::string>& args, const Command& command) {
    Arguments parsed;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (command.valueOptions.count(arg) != 0) {
            if (i + 1 >= args.size()) {
                throw UsageError(arg + " needs a value");
            }
            parsed.values[arg] = args[++i];
        } else if (command.flagOptions.count(arg) != 0) {
            parsed.flags.insert(arg);
        } else if (arg.size() > 1 && arg.starts_with("--")) {
            throw UsageError("unknown option " + arg);
        } else {
            parsed.positional.push_back(arg);
        }
    }
    if (parsed.positional.size() != command.positionalCount) {
        throw UsageError("wrong number of arguments");
    }
    return parsed;
}

std::int64_t parseInteger(const std::string& text, const std::string& what, std::int64_t min,
                          std::int64_t max) {
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < min || value > max) {
        throw UsageError(what + " must be a whole number from " + std::to_string(min) + " to " +
                         std::to_string(max) + ", not \"" + text + "\"");
    }
    return value;
}

std::int64_t optionalInteger(const Arguments& a, const std::string& option, std::int64_t fallback,
                             std::int64_t min, std::int64_t max) {
    const auto it = a.values.find(option);
    return it == a.values.end() ? fallback : parseInteger(it->second, option, min, max);
}

constexpr std::int64_t kMaxId = 9'000'000'000'000'000'000;

std::int64_t nowSeconds() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// A server holds a descriptor per client: take all the open files the system allows.
void raiseOpenFileLimit() {
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        setrlimit(RLIMIT_NOFILE, &files);
    }
}

int serve(const Arguments& a, std::ostream& out) {
    ServerOptions options;
    options.dir = a.positional[0];
    options.address = a.value("--address", "127.0.0.1");
    options.port = static_cast<int>(optionalInteger(a, "--port", 0, 0, 65535));
    options.publicUrl = a.value("--public-url");
    options.reportStoreLimit = static_cast<std::uint64_t>(
        optionalInteger(a, "--report-store-limit",
                        static_cast<std::int64_t>(options.reportStoreLimit), 1 << 20, kMaxId));
    options.log = &std::cerr;
    raiseOpenFileLimit();

    // SIGINT and SIGTERM are taken by one waiting thread rather than a handler, so that stopping
    // the server runs as ordinary code. The mask is set before any server thread exists.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigset_t previous;
    pthread_sigmask(SIG_BLOCK, &stopSignals, &previous);

    KxServer server(options);
    out << server.bind() << std::endl;
    std::atomic<bool> finished{false};
    std::thread waiter([&] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        if (!finished) {
            server.stop();
        }
    });
    server.run();
    finished = true;
    pthread_kill(waiter.native_handle(), SIGTERM);
    waiter.join();
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return 0;
}

int addDeployment(const Arguments& a, std::ostream& out) {
    Catalog catalog(a.positional[0]);
    Deployment d;
    d.id = optionalInteger(a, "--id", 0, 0, kMaxId);
    d.type = a.value("--type");
    d.description = a.value("--description");
    d.busObjPath = a.value("--path");
    d.deployFolder = a.value("--folder", d.description);
    d.checkForUpdates = a.value("--check-for-updates");
    d.installGroupId = optionalInteger(a, "--group", 0, 0, kMaxId);
    d.customInstallGroupId = optionalInteger(a, "--custom-group", 0, 0, kMaxId);
    out << catalog.addDeployment(d) << "\n";
    return 0;
}

int publish(const Arguments& a, std::ostream& out) {
    Catalog catalog(a.positional[0]);
    PublishOptions options;
    if (a.values.count("--group") == 0) {
        throw UsageError("--group is required");
    }
    options.group = parseInteger(a.value("--group"), "--group", 1, kMaxId);
    options.folder = a.positional[1];
    options.installType = optionalInteger(a, "--install-type", 2, -32768, 32767);
    options.location = a.value("--location", "KESTRIXDIR");
    options.compress = a.flags.count("--compress") != 0;
    options.version = a.value("--version");
    options.altCheck = a.value("--alt-check");
    options.altCheckRegValue = a.value("--alt-check-reg-value");
    options.sequence = optionalInteger(a, "--sequence", 0, 1, kStartRowSequence - 1);
    const int count = publishFolder(catalog, options, nowSeconds());
    out << "published " << count << " file(s) to group " << options.group << "\n";
    return 0;
}

std::string readPassword(const std::string& argument) {
    if (argument != "-") {
        return argument;
    }
    std::string line;
    std::getline(std::cin, line);
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

std::vector<Command> commands() {
    return {
        {"init",
         "DIR",
         {"--pbkdf2-iterations"},
         {},
         1,
         [](const Arguments& a, std::ostream&) {
             Catalog::create(a.positional[0], static_cast<std::uint32_t>(optionalInteger(
                                                  a, "--pbkdf2-iterations",
                                                  kDefaultPbkdf2Iterations, 1, 10'000'000)));
             return 0;
         }},
        {"add-user",
         "DIR FILERCODE LOGIN PASSWORD   (PASSWORD \"-\" reads it from stdin)",
         {},
         {},
         4,
         [](const Arguments& a, std::ostream&) {
             Catalog(a.positional[0])
                 .addUser(a.positional[1], a.positional[2], readPassword(a.positional[3]));
             return 0;
         }},
        {"add-server",
         "DIR NAME PATH   (PATH such as /bo/server1)",
         {},
         {},
         3,
         [](const Arguments& a, std::ostream&) {
             Catalog(a.positional[0]).addLoginServer(a.positional[1], a.positional[2]);
             return 0;
         }},
        {"add-deployment",
         "DIR --type BROKER|CLIENT --description TEXT --path PATH [--id N] [--folder F] "
         "[--check-for-updates V] [--group N] [--custom-group N]",
         {"--type", "--description", "--path", "--id", "--folder", "--check-for-updates", "--group",
          "--custom-group"},
         {},
         1,
         addDeployment},
        {"grant",
         "DIR FILERCODE LOGIN DEPLOYMENT-ID",
         {},
         {},
         4,
         [](const Arguments& a, std::ostream&) {
             Catalog(a.positional[0])
                 .grant(a.positional[1], a.positional[2],
                        parseInteger(a.positional[3], "DEPLOYMENT-ID", 1, kMaxId));
             return 0;
         }},
        {"publish",
         "DIR --group N FOLDER [--install-type T] [--location TOKEN] [--compress] [--version V] "
         "[--alt-check PATH|KEY] [--alt-check-reg-value NAME] [--sequence N]",
         {"--group", "--install-type", "--location", "--version", "--alt-check",
          "--alt-check-reg-value", "--sequence"},
         {"--compress"},
         2,
         publish},
        {"add-start-row",
         "DIR --group N FILENAME [--location TOKEN] [--description TEXT]",
         {"--group", "--location", "--description"},
         {},
         2,
         [](const Arguments& a, std::ostream&) {
             Catalog catalog(a.positional[0]);
             addStartRow(catalog, optionalInteger(a, "--group", 0, 1, kMaxId), a.positional[1],
                         a.value("--location", "KESTRIXDIR"), a.value("--description"));
             return 0;
         }},
        {"set-stamp",
         "DIR GROUP TEXT",
         {},
         {},
         3,
         [](const Arguments& a, std::ostream&) {
             Catalog(a.positional[0])
                 .setGroupStamp(parseInteger(a.positional[1], "GROUP", 1, kMaxId), a.positional[2]);
             return 0;
         }},
        {"set-token-lifetime",
         "DIR SECONDS",
         {},
         {},
         2,
         [](const Arguments& a, std::ostream&) {
             Catalog(a.positional[0])
                 .setSetting("token_lifetime_seconds",
                             std::to_string(parseInteger(a.positional[1], "SECONDS", 1,
                                                         10LL * 365 * 24 * 3600)));
             return 0;
         }},
        {"reports",
         "DIR",
         {},
         {},
         1,
         [](const Arguments& a, std::ostream& out) {
             Catalog(a.positional[0]).writeErrorReports(out);
             return 0;
         }},
        {"notes",
         "DIR",
         {},
         {},
         1,
         [](const Arguments& a, std::ostream& out) {
             Catalog(a.positional[0]).writeLoginNotes(out);
             return 0;
         }},
        {"serve",
         "DIR [--address A] [--port N] [--public-url URL] [--report-store-limit BYTES]",
         {"--address", "--port", "--public-url", "--report-store-limit"},
         {},
         1,
         serve},
        {"demo",
         "DIR",
         {},
         {},
         1,
         [](const Arguments& a, std::ostream& out) {
             createDemoCatalog(a.positional[0], findDemoProgram());
             out << "demo catalog created in " << a.positional[0] << "\n";
             return 0;
         }},
    };
}

// One line a command, in the "Usage: ... or: ..." form that manual-page generators read.
void printUsage(std::ostream& err, const std::vector<Command>& all) {
    const char* lead = "Usage: ";
    for (const auto& c : all) {
        err << lead << "kxserver " << c.name << " " << c.usage << "\n";
        lead = "  or:  ";
    }
}

}  // namespace

int runCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const auto all = commands();
    if (args.empty() || args[0] == "--help" || args[0] == "help") {
        printUsage(args.empty() ? err : out, all);
        return args.empty() ? 2 : 0;
    }
    const auto command =
        std::find_if(all.begin(), all.end(), [&](const Command& c) { return c.name == args[0]; });
    if (command == all.end()) {
        err << "kxserver: unknown command \"" << args[0] << "\"\n";
        printUsage(err, all);
        return 2;
    }
    try {
        return command->run(parseArguments(args, *command), out);
    } catch (const UsageError& e) {
        err << "kxserver " << command->name << ": " << e.what() << "\n"
            << "usage: kxserver " << command->name << " " << command->usage << "\n";
        return 2;
    } catch (const std::exception& e) {
        err << "kxserver " << command->name << ": " << e.what() << "\n";
        return 1;
    }
}

}  // namespace kx::server

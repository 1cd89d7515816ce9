#include "server/admin_cli.h"

#include <algorithm>
#include <chrono>
#include <iostream>
#include <map>
#include <set>
#include <stdexcept>

#include "server/catalog.h"
#include "server/demo_catalog.h"
#include "server/http_server.h"
#include "server/list_signing.h"
#include "server/password.h"
#include "server/publish.h"
#include "server/serve_until_stopped.h"
#include "server/support/store/support_accounts.h"
#include "server/whole_number.h"

namespace kx::server {

namespace {

class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct Arguments {
    std::vector<std::string> positional;
    std::map<std::string, std::string> values;           // the last value of each option
    std::multimap<std::string, std::string> everyValue;  // for options that may repeat
    std::set<std::string> flags;

    std::string value(const std::string& name, const std::string& fallback = {}) const {
        const auto it = values.find(name);
        return it == values.end() ? fallback : it->second;
    }
};

// One command: its name and usage (the arguments after the name), the number of arguments
// that are not options, the options that take a value and those that stand alone, and what
// runs it. The table below names each member it sets; the empty initialisers keep GCC 12 from
// warning about the option sets a command leaves out.
struct Command {
    std::string name;
    std::string usage;
    std::size_t positionalCount = 0;
    std::set<std::string> valueOptions{};
    std::set<std::string> flagOptions{};
    void (*run)(const Arguments&, std::ostream&) = nullptr;
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
            parsed.everyValue.emplace(arg, args[i]);
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
    const auto value = parseWholeNumber(text, min, max);
    if (!value) {
        throw UsageError(what + " must be a whole number from " + std::to_string(min) + " to " +
                         std::to_string(max) + ", not \"" + text + "\"");
    }
    return *value;
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

// The password cost given by --password-memory and --password-passes, each defaulting to
// `fallback`'s.
PasswordCost passwordCostOf(const Arguments& a, const PasswordCost& fallback) {
    return {static_cast<std::uint32_t>(optionalInteger(a, "--password-memory", fallback.memoryKiB,
                                                       kMinPasswordCost.memoryKiB,
                                                       kMaxPasswordCost.memoryKiB)),
            static_cast<std::uint32_t>(optionalInteger(a, "--password-passes", fallback.passes,
                                                       kMinPasswordCost.passes,
                                                       kMaxPasswordCost.passes))};
}

void initCommand(const Arguments& a, std::ostream&) {
    Catalog::create(a.positional[0], passwordCostOf(a, kDefaultPasswordCost));
}

void setPasswordCostCommand(const Arguments& a, std::ostream& out) {
    Catalog catalog(a.positional[0]);
    const PasswordCost cost = passwordCostOf(a, catalog.passwordCost());
    catalog.setPasswordCost(cost);
    out << "passwords are hashed at " << cost.memoryKiB << " KiB, " << cost.passes
        << " passes; stored ones follow at their next login\n";
}

void addUserCommand(const Arguments& a, std::ostream&) {
    Catalog(a.positional[0])
        .addUser(a.positional[1], a.positional[2], readPassword(a.positional[3]));
}

void addServerCommand(const Arguments& a, std::ostream&) {
    Catalog(a.positional[0]).addLoginServer(a.positional[1], a.positional[2]);
}

void addDeploymentCommand(const Arguments& a, std::ostream& out) {
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
}

void grantCommand(const Arguments& a, std::ostream&) {
    Catalog(a.positional[0])
        .grant(a.positional[1], a.positional[2],
               parseInteger(a.positional[3], "DEPLOYMENT-ID", 1, kMaxId));
}

void publishCommand(const Arguments& a, std::ostream& out) {
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
    const auto published = publishFolder(catalog, options, nowSeconds());
    out << "published " << published.count << " file(s) to group " << options.group << "\n";
    for (const auto& name : published.skipped) {
        out << "not published: " << name << " (not a regular file)\n";
    }
    for (const auto& note : published.patchNotes) {
        out << note << "\n";
    }
}

void addStartRowCommand(const Arguments& a, std::ostream&) {
    Catalog catalog(a.positional[0]);
    addStartRow(catalog, optionalInteger(a, "--group", 0, 1, kMaxId), a.positional[1],
                a.value("--location", "KESTRIXDIR"), a.value("--description"));
}

void setStampCommand(const Arguments& a, std::ostream&) {
    Catalog(a.positional[0])
        .setGroupStamp(parseInteger(a.positional[1], "GROUP", 1, kMaxId), a.positional[2]);
}

void signingKeyCommand(const Arguments& a, std::ostream& out) {
    Catalog catalog(a.positional[0]);
    const bool next = a.flags.count("--next") != 0;
    const bool rotate = a.flags.count("--rotate") != 0;
    if (next && rotate) {
        throw UsageError("--next and --rotate exclude each other");
    }
    out << (next     ? ensureNextSigningKey(catalog)
            : rotate ? rotateSigningKey(catalog)
                     : ensureSigningKey(catalog))
        << "\n";
}

void resignCommand(const Arguments& a, std::ostream& out) {
    Catalog catalog(a.positional[0]);
    const int signedLists = resignLists(
        catalog, optionalInteger(a, "--days", kDefaultSignatureDays, 1, kMaxSignatureDays));
    if (signedLists < 0) {
        out << "no signing key in " << a.positional[0] << ": nothing to sign\n";
    } else {
        out << "signed " << signedLists << " install list(s)\n";
    }
}

void setTokenLifetimeCommand(const Arguments& a, std::ostream&) {
    Catalog(a.positional[0])
        .sessions()
        .setTokenLifetimeSeconds(
            parseInteger(a.positional[1], "SECONDS", 1, SessionStore::kMaxTokenLifetimeSeconds));
}

void reportsCommand(const Arguments& a, std::ostream& out) {
    Catalog(a.positional[0]).reports().writeAll(out);
}

void pruneReportsCommand(const Arguments& a, std::ostream& out) {
    if (a.values.count("--older-than") == 0) {
        throw UsageError("--older-than is required");
    }
    const std::int64_t days =
        parseInteger(a.value("--older-than"), "--older-than", 1, ReportStore::kMaxAgeDays);
    const std::int64_t before = ReportStore::daysBefore(nowSeconds(), days);
    const std::int64_t removed = Catalog(a.positional[0]).reports().removeReceivedBefore(before);
    out << "removed " << removed << " error report(s) received before " << isoTimestamp(before)
        << " UTC\n";
}

void notesCommand(const Arguments& a, std::ostream& out) {
    Catalog(a.positional[0]).sessions().writeLoginNotes(out);
}

void addSupportUserCommand(const Arguments& a, std::ostream&) {
    Catalog catalog(a.positional[0]);
    support::SupportAccounts(catalog.database())
        .add(a.positional[1], catalog.hashNewPassword(readPassword(a.positional[2])));
}

void removeSupportUserCommand(const Arguments& a, std::ostream&) {
    Catalog catalog(a.positional[0]);
    support::SupportAccounts(catalog.database()).remove(a.positional[1]);
}

void serveCommand(const Arguments& a, std::ostream& out) {
    ServerOptions options;
    options.dir = a.positional[0];
    options.address = a.value("--address", "127.0.0.1");
    options.port = static_cast<int>(optionalInteger(a, "--port", 0, 0, 65535));
    options.publicUrl = a.value("--public-url");
    options.reportStoreLimit = static_cast<std::uint64_t>(
        optionalInteger(a, "--report-store-limit",
                        static_cast<std::int64_t>(options.reportStoreLimit), 1 << 20, kMaxId));
    options.passwordCheckThreads = static_cast<std::size_t>(optionalInteger(
        a, "--password-checks", static_cast<std::int64_t>(options.passwordCheckThreads), 1, 256));
    const auto proxies = a.everyValue.equal_range("--trusted-proxy");
    for (auto proxy = proxies.first; proxy != proxies.second; ++proxy) {
        options.trustedProxies.push_back(proxy->second);
    }
    options.reportsPerAddressPerMinute = static_cast<int>(optionalInteger(
        a, "--reports-per-minute", options.reportsPerAddressPerMinute, 1, 1'000'000));
    options.log = &std::cerr;
    serveUntilStopped(std::move(options), out);
}

void demoCommand(const Arguments& a, std::ostream& out) {
    createDemoCatalog(a.positional[0], findDemoProgram());
    out << "demo catalog created in " << a.positional[0] << "\n";
}

// The commands in the order the usage lists them.
const std::vector<Command>& commands() {
    static const std::vector<Command> all = {
        {.name = "init",
         .usage = "DIR [--password-memory KIB] [--password-passes N]",
         .positionalCount = 1,
         .valueOptions = {"--password-memory", "--password-passes"},
         .run = initCommand},
        {.name = "add-user",
         .usage = "DIR FILERCODE LOGIN PASSWORD   (PASSWORD \"-\" reads it from stdin)",
         .positionalCount = 4,
         .run = addUserCommand},
        {.name = "add-server",
         .usage = "DIR NAME PATH   (PATH such as /bo/server1)",
         .positionalCount = 3,
         .run = addServerCommand},
        {.name = "add-deployment",
         .usage = "DIR --type BROKER|CLIENT --description TEXT --path PATH [--id N] [--folder F] "
                  "[--check-for-updates V] [--group N] [--custom-group N]",
         .positionalCount = 1,
         .valueOptions = {"--type", "--description", "--path", "--id", "--folder",
                          "--check-for-updates", "--group", "--custom-group"},
         .run = addDeploymentCommand},
        {.name = "grant",
         .usage = "DIR FILERCODE LOGIN DEPLOYMENT-ID",
         .positionalCount = 4,
         .run = grantCommand},
        {.name = "publish",
         .usage = "DIR --group N FOLDER [--install-type T] [--location TOKEN] [--compress] "
                  "[--version V] [--alt-check PATH|KEY] [--alt-check-reg-value NAME] "
                  "[--sequence N]",
         .positionalCount = 2,
         .valueOptions = {"--group", "--install-type", "--location", "--version", "--alt-check",
                          "--alt-check-reg-value", "--sequence"},
         .flagOptions = {"--compress"},
         .run = publishCommand},
        {.name = "add-start-row",
         .usage = "DIR --group N FILENAME [--location TOKEN] [--description TEXT]",
         .positionalCount = 2,
         .valueOptions = {"--group", "--location", "--description"},
         .run = addStartRowCommand},
        {.name = "set-stamp",
         .usage = "DIR GROUP TEXT",
         .positionalCount = 3,
         .run = setStampCommand},
        {.name = "set-password-cost",
         .usage = "DIR [--password-memory KIB] [--password-passes N]",
         .positionalCount = 1,
         .valueOptions = {"--password-memory", "--password-passes"},
         .run = setPasswordCostCommand},
        {.name = "signing-key",
         .usage = "DIR [--next | --rotate]",
         .positionalCount = 1,
         .flagOptions = {"--next", "--rotate"},
         .run = signingKeyCommand},
        {.name = "resign",
         .usage = "DIR [--days N]",
         .positionalCount = 1,
         .valueOptions = {"--days"},
         .run = resignCommand},
        {.name = "set-token-lifetime",
         .usage = "DIR SECONDS",
         .positionalCount = 2,
         .run = setTokenLifetimeCommand},
        {.name = "reports", .usage = "DIR", .positionalCount = 1, .run = reportsCommand},
        {.name = "prune-reports",
         .usage = "DIR --older-than DAYS",
         .positionalCount = 1,
         .valueOptions = {"--older-than"},
         .run = pruneReportsCommand},
        {.name = "notes", .usage = "DIR", .positionalCount = 1, .run = notesCommand},
        {.name = "add-support-user",
         .usage = "DIR LOGIN PASSWORD   (an account of the support pages; PASSWORD \"-\" reads "
                  "it from stdin)",
         .positionalCount = 3,
         .run = addSupportUserCommand},
        {.name = "remove-support-user",
         .usage = "DIR LOGIN",
         .positionalCount = 2,
         .run = removeSupportUserCommand},
        {.name = "serve",
         .usage = "DIR [--address A] [--port N] [--public-url URL] [--report-store-limit BYTES] "
                  "[--password-checks N] [--trusted-proxy ADDR]... [--reports-per-minute N]",
         .positionalCount = 1,
         .valueOptions = {"--address", "--port", "--public-url", "--report-store-limit",
                          "--password-checks", "--trusted-proxy", "--reports-per-minute"},
         .run = serveCommand},
        {.name = "demo", .usage = "DIR", .positionalCount = 1, .run = demoCommand},
    };
    return all;
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
    const auto& all = commands();
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
        command->run(parseArguments(args, *command), out);
        return 0;
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

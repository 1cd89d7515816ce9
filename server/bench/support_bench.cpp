#include "server/bench/support_bench.h"

#include <httplib.h>

#include <chrono>
#include <cstdio>
#include <stdexcept>

#include "server/bench/bench_support.h"
#include "server/catalog.h"
#include "server/support/store/support_accounts.h"
#include "tests/support/server_process.h"

namespace kx::server::bench {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kReports = 100'000;
constexpr int kCauses = 500;
constexpr int kRounds = 100;

// A context the size of a launcher's: a variable dump and the machine's diagnostics.
std::string contextOf(int report) {
    std::string dump = "<Variables>\r\n<LocalVariables>\r\n<FileName>data" +
                       std::to_string(report) + ".dat</FileName>\r\n<buf>\r\n";
    for (int i = 0; i < 20; ++i) {
        dump +=
            "  <buf Index=\"" + std::to_string(i) + "\">" + std::to_string(i * 7) + "</buf>\r\n";
    }
    dump +=
        "</buf>\r\n</LocalVariables>\r\n<ModuleVariables>\r\n{None}</ModuleVariables>\r\n"
        "<GlobalVariables>\r\n";
    for (const char* name : {"mLoginDesc", "mFilerCode", "mLogin", "mBaseURL", "TempDir",
                             "CommonDir", "KestrixDir", "SystemDir", "FontsDir", "mUseProfile"}) {
        dump += std::string("<") + name + ">/var/lib/kestrix/some/value/" + name + "</" + name +
                ">\r\n";
    }
    dump += "</GlobalVariables>\r\n</Variables>\r\n<Parameters>\r\n{None}</Parameters>\r\n\r\n";
    dump +=
        "Error Handler Version = 9.0.3\r\nAvailable Page File = 2,147,483,648\r\n"
        "Available Physical Memory = 8,589,934,592\r\nMemory Load = %37\r\n"
        "Windows Version: unknown - GetVerExA failed\r\nMDAC Components: MDAC CHECK\r\n";
    for (int i = 0; i < 8; ++i) {
        dump +=
            "** Registry Value Missing: HKEY_CLASSES_ROOT\\CLSID\\{00000507-0000-0010-8000-"
            "00AA006D2EA4}\\InProcServer32 - \r\n";
    }
    return dump + "CRYSTAL + VSFLEX: Crystal + VSFlex Checks\r\n";
}

FormFields reportFields(int report) {
    const int cause = report % kCauses;
    return {{"ProjectName", cause % 10 == 0 ? "KXDemo" : "KXVantor"},
            {"ProjectVersion", "300.1100." + std::to_string(report % 4)},
            {"Module", "Module" + std::to_string(cause % 20)},
            {"Routine", "Routine" + std::to_string(cause)},
            {"LineNumber", std::to_string(10 + cause % 40)},
            {"ErrorNumber", "53"},
            {"ErrorDescription", "File not found: C:\\Users\\u" + std::to_string(report) +
                                     "\\file" + std::to_string(report * 13) + ".tmp"},
            {"Context", contextOf(report)},
            {"Token", "0123456789abcdef0123456789abcdef"},
            {"AppPath", "/usr/lib/kestrix/vantor"},
            {"AppName", "KXVantor"},
            {"ParentProcess", "/usr/lib/kestrix/vantor/KXVantor"}};
}

void fillReports(const std::filesystem::path& dir) {
    Catalog catalog(dir);
    // Stored one by one as the server stores them, but without waiting for the disk each time:
    // what is measured is the reading of the pages.
    catalog.database().exec("PRAGMA synchronous = OFF");
    const auto start = Clock::now();
    for (int report = 0; report < kReports; ++report) {
        catalog.reports().add(reportFields(report), "10.0.0.1", 1'700'000'000 + report);
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf(
        "stored %d reports in %d causes, each grouped as it was stored: %.1f s (%.0f a "
        "second)\n",
        kReports, kCauses, seconds, kReports / seconds);
    support::SupportAccounts(catalog.database())
        .add("bench", catalog.hashNewPassword("bench pass"));
}

std::string logIn(httplib::Client& client) {
    const auto answer = client.Post("/support/login", "login=bench&password=bench+pass",
                                    "application/x-www-form-urlencoded");
    const std::string cookie = answer ? answer->get_header_value("Set-Cookie") : "";
    if (cookie.empty()) {
        throw std::runtime_error("the benchmark's support login failed");
    }
    return cookie.substr(0, cookie.find(';'));
}

void timePage(httplib::Client& client, const std::string& cookie, const char* what,
              const std::string& path) {
    Latencies latencies;
    std::size_t bytes = 0;
    for (int round = 0; round < kRounds; ++round) {
        const auto start = Clock::now();
        const auto answer = client.Get(path, {{"Cookie", cookie}});
        latencies.add(Clock::now() - start);
        if (!answer || answer->status != 200) {
            throw std::runtime_error("the benchmark's request for " + path + " failed");
        }
        bytes = answer->body.size();
    }
    printLatencies(what, latencies);
    std::printf("  %-28s %zu bytes: %s\n", "", bytes, path.c_str());
}

}  // namespace

void supportPagesLoad(const std::string& kxserverProgram) {
    Scratch scratch;
    createBenchCatalog(scratch.catalog(), 1);
    fillReports(scratch.catalog());
    test::ServerProcess server(kxserverProgram, scratch.catalog(), 0);
    httplib::Client client(server.url());
    client.set_read_timeout(30, 0);
    const std::string cookie = logIn(client);
    std::printf("each page %d times, one request at a time, on loopback:\n", kRounds);
    timePage(client, cookie, "list of causes", "/support/");
    timePage(client, cookie, "causes, filtered by text", "/support/?q=Routine42");
    timePage(client, cookie, "causes, filtered by version", "/support/?version=300.1100.2");
    timePage(client, cookie, "causes, 10th page", "/support/?page=10");
    timePage(client, cookie, "causes as JSON", "/support/api/groups");
    timePage(client, cookie, "one cause", "/support/groups/250");
    timePage(client, cookie, "one cause, 4th page", "/support/groups/250?page=4");
    timePage(client, cookie, "one report", "/support/reports/99999");
}

}  // namespace kx::server::bench

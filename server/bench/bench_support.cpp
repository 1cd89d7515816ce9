#include "server/bench/bench_support.h"

#include <signal.h>
#include <unistd.h>

#include <httplib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "server/catalog.h"
#include "server/install_files.h"
#include "server/password.h"
#include "tests/support/child_program.h"

namespace kx::server::bench {

using test::exitCodeOf;
using test::readAll;
using test::startReadingOutput;

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kFilerCode = "BENCH";
constexpr const char* kPassword = "bench pass";
constexpr std::int64_t kGroup = 10;

void publishFiles(Catalog& catalog) {
    const auto folder = installGroupFolder(catalog.dir(), kGroup);
    std::filesystem::create_directories(folder);
    const char* names[] = {"program.bin", "data.dat", "help.txt"};
    for (std::size_t i = 0; i < std::size(names); ++i) {
        std::ofstream(folder / names[i], std::ios::binary) << std::string(64 * 1024, 'x');
        InstallFile file;
        file.fileName = names[i];
        file.sequenceId = static_cast<std::int64_t>(10 * (i + 1));
        file.installType = 2;
        file.fileVersion = "1.0.0.0";
        file.downloadLocation = std::to_string(kGroup) + "/" + names[i];
        file.installLocation = "KESTRIXDIR";
        catalog.putInstallFile(kGroup, file);
    }
}

std::vector<std::string> withProgram(const std::string& program,
                                     const std::vector<std::string>& args) {
    std::vector<std::string> command = {program};
    command.insert(command.end(), args.begin(), args.end());
    return command;
}

}  // namespace

Scratch::Scratch() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kxbench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary folder");
    }
    path_ = pattern;
}

Scratch::~Scratch() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string benchLogin(int user) {
    return "U" + std::to_string(user);
}

void createBenchCatalog(const std::filesystem::path& dir, int users) {
    Catalog::create(dir, kDefaultPasswordCost);
    Catalog catalog(dir);
    catalog.addLoginServer("First", "/bo/server1");
    catalog.addLoginServer("Second", "/bo/server2");
    const auto broker =
        catalog.addDeployment({0, "BROKER", "Bench broker", "/bo/server1", "B", "Y", kGroup, 0});
    const auto client =
        catalog.addDeployment({0, "CLIENT", "Bench client", "/bo/server2", "C", "", 12, 0});
    publishFiles(catalog);
    // One hash at the production cost serves every user (they share the password): hashing
    // thousands of users one by one would take minutes. Checking each still costs the full price.
    const std::string hash = hashPassword(kPassword, kDefaultPasswordCost);
    Database& db = catalog.database();
    inTransaction(db, [&] {
        for (int user = 0; user < users; ++user) {
            db.prepare("INSERT INTO users(filer_code, login, password_hash) VALUES(?, ?, ?)")
                .bind(1, kFilerCode)
                .bind(2, benchLogin(user))
                .bind(3, hash)
                .run();
            const std::int64_t id = db.lastInsertId();
            for (const std::int64_t deployment : {broker, client}) {
                db.prepare("INSERT INTO grants(user_id, deployment_id) VALUES(?, ?)")
                    .bind(1, id)
                    .bind(2, deployment)
                    .run();
            }
        }
    });
}

int runQuietly(const std::string& program, const std::vector<std::string>& args) {
    pid_t pid = 0;
    readAll(startReadingOutput(withProgram(program, args), "/dev/null", pid), false);
    return exitCodeOf(pid);
}

std::string runForOutput(const std::string& program, const std::vector<std::string>& args) {
    pid_t pid = 0;
    std::string out =
        readAll(startReadingOutput(withProgram(program, args), "/dev/null", pid), false);
    exitCodeOf(pid);
    return out;
}

void Latencies::add(Clock::duration took) {
    const double ms = std::chrono::duration<double, std::milli>(took).count();
    std::lock_guard lock(mutex_);
    milliseconds_.push_back(ms);
}

void Latencies::addAll(const Latencies& other) {
    std::vector<double> theirs;
    {
        std::lock_guard lock(other.mutex_);
        theirs = other.milliseconds_;
    }
    std::lock_guard lock(mutex_);
    milliseconds_.insert(milliseconds_.end(), theirs.begin(), theirs.end());
}

std::size_t Latencies::count() const {
    std::lock_guard lock(mutex_);
    return milliseconds_.size();
}

double Latencies::percentile(double fraction) const {
    std::vector<double> sorted;
    {
        std::lock_guard lock(mutex_);
        sorted = milliseconds_;
    }
    if (sorted.empty()) {
        return 0.0;
    }
    std::sort(sorted.begin(), sorted.end());
    const auto index = static_cast<std::size_t>(fraction * static_cast<double>(sorted.size() - 1));
    return sorted[index];
}

void printLatencies(const char* what, const Latencies& latencies) {
    std::printf("  %-28s n=%zu  p50 %.1f ms  p99 %.1f ms  max %.1f ms\n", what, latencies.count(),
                latencies.percentile(0.5), latencies.percentile(0.99), latencies.percentile(1.0));
}

bool launcherLogin(const std::string& url, int user, Latencies& passwordCalls,
                   Latencies& otherCalls) {
    httplib::Client client(url);
    client.set_read_timeout(30, 0);
    const std::string login = benchLogin(user);
    nlohmann::json result;
    auto call = [&](const char* path, const char* method, const nlohmann::json& args) {
        const nlohmann::json body = {
            {"progid", "KXBO_V2.Init"}, {"method", method}, {"args", args}};
        const auto start = Clock::now();
        const auto answer = client.Post(path, body.dump(), "application/json");
        (args.size() > 2 && args[2] == kPassword ? passwordCalls : otherCalls)
            .add(Clock::now() - start);
        if (!answer || answer->status != 200) {
            return false;
        }
        const auto parsed = nlohmann::json::parse(answer->body, nullptr, false);
        result = parsed.is_object() && parsed.contains("result") ? parsed["result"] : nullptr;
        return true;
    };
    if (!call("/", "GetLoginServersXML", {kFilerCode, login}) ||
        !call("/", "GetDeploymentsXML", {kFilerCode, login}) ||
        !call("/bo/server1", "isValidLogin", {kFilerCode, login, kPassword, false, false}) ||
        result != true ||
        !call("/bo/server2", "isValidLogin", {kFilerCode, login, kPassword, true, false}) ||
        result != true ||
        !call("/bo/server1", "LoginUser", {kFilerCode, login, kPassword, "10.0.0.1"}) ||
        !result.is_string() || result.get<std::string>().size() != 32) {
        return false;
    }
    const std::string token = result.get<std::string>();
    return call("/bo/server1", "GetUpdateInfoLastUpdate", {token, "INSTALL_10"}) &&
           call("/bo/server1", "GetInstallFilesByIDXML", {token, kGroup, 0}) &&
           call("/bo/server1", "WriteLoginNotes", {token, "Memory Load = %37"});
}

bool postReport(const std::string& url, const std::string& marker) {
    httplib::Client client(url);
    client.set_read_timeout(30, 0);
    const auto answer =
        client.Post("/GenErrorReport.asp",
                    "ProjectName=KXVantor&Routine=" + marker + "&Context=" + std::string(4096, 'c'),
                    "application/x-www-form-urlencoded");
    return answer && answer->status == 200 && answer->body.find('1') != std::string::npos;
}

}  // namespace kx::server::bench

// The kxserver program as an administrator and the launcher meet it: the command line, and
// `serve` as a real process on a free port, stopped by SIGTERM.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <httplib.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "catalog.h"
#include "rowset_xml.h"
#include "temp_dir.h"

extern char** environ;

namespace kx::server::test {
namespace {

const std::string kProgram = std::string(KX_BIN_DIR) + "/kxserver";

struct Finished {
    int exitCode = -1;
    std::string out;
    std::string err;
};

int waitFor(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) {
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Starts kxserver with `args` and the standard streams that `actions` sets up (and destroys);
// throws when the program cannot be started.
pid_t spawnKxserver(std::vector<std::string> args, posix_spawn_file_actions_t& actions) {
    args.insert(args.begin(), kProgram);
    std::vector<char*> argv;
    for (auto& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, kProgram.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        throw std::runtime_error("cannot start " + kProgram);
    }
    return pid;
}

void addOutputFile(posix_spawn_file_actions_t& actions, int fd, const std::filesystem::path& file) {
    posix_spawn_file_actions_addopen(&actions, fd, file.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
}

// Runs kxserver to completion with its output captured in files of `scratch`.
Finished run(const kx::test::TempDir& scratch, std::vector<std::string> args,
             const std::string& input = {}) {
    kx::test::writeFile(scratch / "stdin", input);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, (scratch / "stdin").c_str(), O_RDONLY, 0);
    addOutputFile(actions, 1, scratch / "stdout");
    addOutputFile(actions, 2, scratch / "stderr");
    Finished result;
    result.exitCode = waitFor(spawnKxserver(std::move(args), actions));
    result.out = kx::test::readFile(scratch / "stdout");
    result.err = kx::test::readFile(scratch / "stderr");
    return result;
}

// `kxserver serve DIR --port 0` as a child process; the base URL is its first line of output.
class ServeProcess {
  public:
    ServeProcess(const std::filesystem::path& dir, const std::filesystem::path& errFile) {
        int pipeFds[2];
        if (pipe(pipeFds) != 0) {
            throw std::runtime_error("pipe failed");
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
        posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
        addOutputFile(actions, 2, errFile);
        try {
            pid_ = spawnKxserver({"serve", dir.string(), "--port", "0"}, actions);
        } catch (...) {
            close(pipeFds[0]);
            close(pipeFds[1]);
            throw;
        }
        close(pipeFds[1]);
        // Blocks until the line is there or the program has ended (end of file).
        char c = 0;
        while (read(pipeFds[0], &c, 1) == 1 && c != '\n') {
            url_ += c;
        }
        close(pipeFds[0]);
    }
    ~ServeProcess() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    const std::string& url() const { return url_; }
    int stop(int signal) {
        kill(pid_, signal);
        const int code = waitFor(pid_);
        pid_ = 0;
        return code;
    }

  private:
    pid_t pid_ = 0;
    std::string url_;
};

// The result of one remote call to the serving program; any other answer fails the test.
nlohmann::json callAt(httplib::Client& client, const char* path, const char* progId,
                      const char* method, const nlohmann::json& args) {
    const nlohmann::json request = {{"progid", progId}, {"method", method}, {"args", args}};
    const auto answer = client.Post(path, request.dump(), "application/json");
    if (!answer || answer->status != 200) {
        ADD_FAILURE() << method << " was not answered: " << (answer ? answer->body : "");
        return {};
    }
    return nlohmann::json::parse(answer->body).at("result");
}

std::string firstLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

TEST(KxserverCommandLine, BadUsageExitsWithTwoAndExplains) {
    kx::test::TempDir scratch;
    const std::string dir = (scratch / "c").string();
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        const char* message;
    };
    const Case cases[] = {{{}, 2, "kxserver serve DIR"},
                          {{"frobnicate"}, 2, "unknown command"},
                          {{"init", dir, "--bogus"}, 2, "unknown option --bogus"},
                          {{"serve", dir, "--port", "70000"}, 2, nullptr},
                          {{"reports", (scratch / "nothing").string()}, 1, "cannot open catalog"}};
    for (const Case& c : cases) {
        const auto finished = run(scratch, c.args);
        const std::string name = c.args.empty() ? "no arguments" : c.args.front();
        EXPECT_EQ(finished.exitCode, c.exitCode) << "case: " << name;
        if (c.message != nullptr) {
            EXPECT_NE(finished.err.find(c.message), std::string::npos) << "case: " << name;
        }
    }
}

TEST(KxserverCommandLine, BuildsACatalogThatServesTheLauncher) {
    kx::test::TempDir scratch;
    const std::string dir = (scratch / "srv").string();
    ASSERT_EQ(run(scratch, {"init", dir, "--pbkdf2-iterations", "1000"}).exitCode, 0);
    EXPECT_EQ(run(scratch, {"init", dir}).exitCode, 1);  // never overwrites a catalog
    ASSERT_EQ(run(scratch, {"add-user", dir, "ACME", "ALICE", "-"}, "pw from stdin\n").exitCode, 0);
    ASSERT_EQ(run(scratch, {"add-server", dir, "Main", "/bo/main"}).exitCode, 0);
    EXPECT_EQ(run(scratch, {"add-server", dir, "Bad", "/bo/../x"}).exitCode, 1);
    const auto deployment =
        run(scratch, {"add-deployment", dir, "--type", "BROKER", "--description", "Main broker",
                      "--path", "/bo/main", "--group", "3", "--check-for-updates", "Y"});
    ASSERT_EQ(deployment.exitCode, 0) << deployment.err;
    const std::string id = firstLine(deployment.out);
    ASSERT_EQ(run(scratch, {"grant", dir, "ACME", "ALICE", id}).exitCode, 0);
    kx::test::writeFile(scratch / "pub" / "tool.bin", "tool");
    kx::test::writeFile(scratch / "pub" / "tool.bin.ver", "3.1.0.7\n");
    kx::test::writeFile(scratch / "pub" / "notes.txt", "notes");
    const auto published = run(scratch, {"publish", dir, "--group", "3", (scratch / "pub").string(),
                                         "--install-type", "5", "--version", "9.9.9.9"});
    ASSERT_EQ(published.exitCode, 0) << published.err;
    EXPECT_NE(published.out.find("published 2 file(s)"), std::string::npos);
    ASSERT_EQ(run(scratch, {"add-start-row", dir, "--group", "3", "tool.bin"}).exitCode, 0);
    ASSERT_EQ(run(scratch, {"set-stamp", dir, "3", "2001-02-03T04:05:06"}).exitCode, 0);
    EXPECT_EQ(run(scratch, {"set-stamp", dir, "4", "x"}).exitCode, 1);

    const auto serverLog = scratch / "serve.log";
    ServeProcess server(dir, serverLog);
    ASSERT_EQ(server.url().rfind("http://127.0.0.1:", 0), 0u) << server.url();
    httplib::Client client(server.url());
    auto callBroker = [&](const char* method, const nlohmann::json& args) {
        return callAt(client, "/bo/main", "KXBO_V2.Init", method, args);
    };
    const auto token =
        callBroker("LoginUser", {"ACME", "ALICE", "pw from stdin", "ip"}).get<std::string>();
    ASSERT_EQ(token.size(), 32u);
    EXPECT_EQ(callBroker("GetUpdateInfoLastUpdate", {token, "INSTALL_3"}), "2001-02-03T04:05:06");
    const auto list = rowset::readRowsetXml(
        callBroker("GetInstallFilesByIDXML", {token, 3, 0}).get<std::string>());
    ASSERT_EQ(list.rows.size(), 3u);  // notes.txt, tool.bin, the start row
    const auto version = *list.fieldIndex("FileVersion");
    EXPECT_EQ(list.rows[0].values[version].asString(), "9.9.9.9");
    EXPECT_EQ(list.rows[1].values[version].asString(), "3.1.0.7");
    const auto download = client.Get("/bo/main/BROKER/InstallFiles/3/tool.bin");
    ASSERT_TRUE(download);
    EXPECT_EQ(download->body, "tool");
    callBroker("WriteLoginNotes", {token, "Has admin access = Yes"});
    const auto report = client.Post("/GenErrorReport.asp", "ProjectName=KX&Routine=Main",
                                    "application/x-www-form-urlencoded");
    ASSERT_TRUE(report);
    EXPECT_EQ(report->body, "1");

    EXPECT_EQ(server.stop(SIGTERM), 0);
    const std::string log = kx::test::readFile(serverLog);
    EXPECT_NE(log.find("POST /bo/main 200"), std::string::npos) << log;
    EXPECT_NE(log.find("GET /bo/main/BROKER/InstallFiles/3/tool.bin 200 4 "), std::string::npos);
    EXPECT_EQ(log.find("pw from stdin"), std::string::npos);  // no bodies, no passwords

    const auto notes = run(scratch, {"notes", dir});
    ASSERT_EQ(notes.exitCode, 0);
    EXPECT_EQ(nlohmann::json::parse(firstLine(notes.out)).at("notes"), "Has admin access = Yes");
    const auto reports = run(scratch, {"reports", dir});
    ASSERT_EQ(reports.exitCode, 0);
    const auto stored = nlohmann::json::parse(firstLine(reports.out));
    EXPECT_EQ(stored.at("fields").at("Routine"), "Main");
    EXPECT_FALSE(stored.at("receivedAt").get<std::string>().empty());
}

TEST(KxserverCommandLine, DemoCatalogServesItsListsAndStopsOnInterrupt) {
    kx::test::TempDir scratch;
    const std::string dir = (scratch / "demo").string();
    const auto demo = run(scratch, {"demo", dir});
    ASSERT_EQ(demo.exitCode, 0) << demo.err;
    ServeProcess server(dir, scratch / "serve.log");
    httplib::Client client(server.url());
    const auto servers = rowset::readRowsetXml(
        callAt(client, "/", "KXBO_V2.Init", "GetLoginServersXML", {"DEMO", "DEMO"})
            .get<std::string>());
    EXPECT_EQ(servers.rows.size(), 2u);
    EXPECT_EQ(callAt(client, "/bo/server2", "KXBOGeneral_V3.Init", "isValidLogin",
                     {"DEMO", "DEMO", "demo", true, false}),
              true);
    EXPECT_EQ(server.stop(SIGINT), 0);
}

}  // namespace
}  // namespace kx::server::test

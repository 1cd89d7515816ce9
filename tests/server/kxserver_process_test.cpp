// The kxserver program as an administrator and the launcher meet it: the command line, and
// `serve` as a real process on a free port, stopped by SIGTERM.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <httplib.h>

#include <fstream>
#include <sstream>

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

std::vector<char*> argvOf(std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (auto& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    return argv;
}

int waitFor(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) {
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Runs kxserver to completion with its output captured in files of `scratch`.
Finished run(const kx::test::TempDir& scratch, std::vector<std::string> args,
             const std::string& input = {}) {
    args.insert(args.begin(), kProgram);
    kx::test::writeFile(scratch / "stdin", input);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, (scratch / "stdin").c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, (scratch / "stdout").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, (scratch / "stderr").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    auto argv = argvOf(args);
    const int rc = posix_spawn(&pid, kProgram.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    Finished result;
    if (rc != 0) {
        ADD_FAILURE() << "cannot start " << kProgram;
        return result;
    }
    result.exitCode = waitFor(pid);
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
        std::vector<std::string> args = {kProgram, "serve", dir.string(), "--port", "0"};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
        posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
        posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        auto argv = argvOf(args);
        const int rc =
            posix_spawn(&pid_, kProgram.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(pipeFds[1]);
        if (rc != 0) {
            close(pipeFds[0]);
            throw std::runtime_error("cannot start kxserver");
        }
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

std::string firstLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

TEST(KxserverCommandLine, BadUsageExitsWithTwoAndExplains) {
    kx::test::TempDir scratch;
    const auto none = run(scratch, {});
    EXPECT_EQ(none.exitCode, 2);
    EXPECT_NE(none.err.find("kxserver serve DIR"), std::string::npos);
    const auto unknown = run(scratch, {"frobnicate"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_NE(unknown.err.find("unknown command"), std::string::npos);
    const auto option = run(scratch, {"init", (scratch / "c").string(), "--bogus"});
    EXPECT_EQ(option.exitCode, 2);
    EXPECT_NE(option.err.find("unknown option --bogus"), std::string::npos);
    const auto port = run(scratch, {"serve", (scratch / "c").string(), "--port", "70000"});
    EXPECT_EQ(port.exitCode, 2);
    const auto missing = run(scratch, {"reports", (scratch / "nothing").string()});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("cannot open catalog"), std::string::npos);
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
    auto callAt = [&](const std::string& path, const nlohmann::json& request) {
        const auto answer = client.Post(path.c_str(), request.dump(), "application/json");
        EXPECT_TRUE(answer);
        EXPECT_EQ(answer->status, 200) << answer->body;
        return nlohmann::json::parse(answer->body).at("result");
    };
    const auto token = callAt("/bo/main", {{"progid", "KXBO_V2.Init"},
                                           {"method", "LoginUser"},
                                           {"args", {"ACME", "ALICE", "pw from stdin", "ip"}}})
                           .get<std::string>();
    ASSERT_EQ(token.size(), 32u);
    EXPECT_EQ(callAt("/bo/main", {{"progid", "KXBO_V2.Init"},
                                  {"method", "GetUpdateInfoLastUpdate"},
                                  {"args", {token, "INSTALL_3"}}}),
              "2001-02-03T04:05:06");
    const auto list =
        rowset::readRowsetXml(callAt("/bo/main", {{"progid", "KXBO_V2.Init"},
                                                  {"method", "GetInstallFilesByIDXML"},
                                                  {"args", {token, 3, 0}}})
                                  .get<std::string>());
    ASSERT_EQ(list.rows.size(), 3u);  // notes.txt, tool.bin, the start row
    const auto version = *list.fieldIndex("FileVersion");
    EXPECT_EQ(list.rows[0].values[version].asString(), "9.9.9.9");
    EXPECT_EQ(list.rows[1].values[version].asString(), "3.1.0.7");
    const auto download = client.Get("/bo/main/BROKER/InstallFiles/3/tool.bin");
    ASSERT_TRUE(download);
    EXPECT_EQ(download->body, "tool");
    callAt("/bo/main", {{"progid", "KXBO_V2.Init"},
                        {"method", "WriteLoginNotes"},
                        {"args", {token, "Has admin access = Yes"}}});
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
    const nlohmann::json request = {
        {"progid", "KXBO_V2.Init"}, {"method", "GetLoginServersXML"}, {"args", {"DEMO", "DEMO"}}};
    const auto answer = client.Post("/", request.dump(), "application/json");
    ASSERT_TRUE(answer);
    const auto servers =
        rowset::readRowsetXml(nlohmann::json::parse(answer->body).at("result").get<std::string>());
    EXPECT_EQ(servers.rows.size(), 2u);
    const nlohmann::json login = {{"progid", "KXBOGeneral_V3.Init"},
                                  {"method", "isValidLogin"},
                                  {"args", {"DEMO", "DEMO", "demo", true, false}}};
    const auto valid = client.Post("/bo/server2", login.dump(), "application/json");
    ASSERT_TRUE(valid);
    EXPECT_EQ(nlohmann::json::parse(valid->body).at("result"), true);
    EXPECT_EQ(server.stop(SIGINT), 0);
}

}  // namespace
}  // namespace kx::server::test

#include "kxdiag_commands.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <map>
#include <sstream>
#include <thread>

#include "mask_passwords.h"
#include "registry.h"
#include "scoped_env.h"
#include "temp_dir.h"

namespace kx::errhandler {
namespace {

struct CommandResult {
    int code;
    std::string out;
    std::string err;
};

CommandResult kxdiag(const std::vector<std::string>& args, const std::string& input = "") {
    std::istringstream in(input);
    std::ostringstream out, err;
    const int code = runKxdiag(args, in, out, err);
    return {code, out.str(), err.str()};
}

TEST(Kxdiag, PrintsTheDiagnosticsBlockOfThisMachine) {
    test::ScopedRegistry registry;
    test::TempDir dir;
    test::ScopedEnv system("KX_SYSTEM_DIR", dir.str());
    test::ScopedEnv common("KX_COMMON_FILES_DIR", dir.str());
    const CommandResult run = kxdiag({});
    EXPECT_EQ(run.code, kKxdiagOk);
    EXPECT_TRUE(
        run.out.starts_with("Error Handler Version = 300.1004.12\r\n"
                            "Available Page File = "));
    // The block's lines are machine_context_test.cpp's; here the machine's audits fill it.
    EXPECT_NE(run.out.find("\r\nMDAC Components: MDAC CHECK\r\n** "), std::string::npos);
    EXPECT_TRUE(
        run.out.ends_with("\r\n** Registry Value Missing: HKEY_CLASSES_ROOT\\CLSID\\"
                          "{D5DE8D20-5BB8-11D1-A1E3-00A0C90F2731}\\InProcServer32 - "
                          "\r\n\r\n"));
}

TEST(Kxdiag, MaskFiltersStandardInput) {
    const std::string dump =
        "<mLogin>jsmith</mLogin>\r\n<mPassword>s3cret-but-quite-long-indeed"
        "</mPassword>\r\n";
    const CommandResult run = kxdiag({"mask"}, dump);
    EXPECT_EQ(run.code, kKxdiagOk);
    EXPECT_EQ(run.out, MaskPasswords(dump));
    EXPECT_EQ(run.out.find("s3cret"), std::string::npos);
}

TEST(Kxdiag, VersionPrintsOneLinePerFile) {
    test::TempDir dir;
    test::writeFile(dir / "a.tlb.ver", "2.40.4275.1\n");
    const CommandResult run = kxdiag({"version", (dir / "a.tlb").string(), (dir / "none").string(),
                                      std::string(KX_BIN_DIR) + "/kxdiag"});
    EXPECT_EQ(run.code, kKxdiagOk);
    EXPECT_EQ(run.out, "2.40.4275.1\n\n300.1004.0.12\n");
}

TEST(Kxdiag, WrongCommandLinesAreUsageErrors) {
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"bogus"},
                                               {"mask", "extra"},
                                               {"version"},
                                               {"post", "http://127.0.0.1:1/x"},
                                               {"post", "http://127.0.0.1:1/x", "no-colon"}}) {
        const CommandResult run = kxdiag(args);
        EXPECT_EQ(run.code, kKxdiagUsage) << args[0];
        EXPECT_NE(run.err.find("Usage: kxdiag"), std::string::npos);
        EXPECT_TRUE(run.out.empty());
    }
}

// A report endpoint on loopback that records the form it receives.
class ReportServer {
  public:
    ReportServer() {
        server_.Post("/report", [this](const httplib::Request& req, httplib::Response& res) {
            body_ = req.body;
            contentType_ = req.get_header_value("Content-Type");
            for (const auto& [name, value] : req.params) {
                fields_[name] = value;
            }
            res.set_content("1", "text/plain");
        });
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        // The socket already listens; wait (bounded) until the accept loop runs as well, so that
        // stop() in the destructor finds it.
        for (int i = 0; i < 5000 && !server_.is_running(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    ~ReportServer() {
        server_.stop();
        thread_.join();
    }
    std::string url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }
    std::string body_, contentType_;
    std::map<std::string, std::string> fields_;

  private:
    httplib::Server server_;
    int port_ = 0;
    std::thread thread_;
};

TEST(Kxdiag, PostSendsAReportFormAndFailsWithTheStatusAndExitCodeOne) {
    ReportServer server;
    const CommandResult run = kxdiag({"post", server.url("/report"), "ProjectName:KXVantor",
                                      "Context:a b&c:d\r\n", "LineNumber:10"});
    EXPECT_EQ(run.code, kKxdiagOk) << run.err;
    EXPECT_EQ(run.out, "200\nOK\n1\n");
    EXPECT_EQ(server.contentType_, "application/x-www-form-urlencoded");
    const std::map<std::string, std::string> expected{
        {"ProjectName", "KXVantor"}, {"Context", "a b&c:d\r\n"}, {"LineNumber", "10"}};
    EXPECT_EQ(server.fields_, expected) << server.body_;
    EXPECT_LT(server.body_.find("ProjectName="), server.body_.find("&Context="));
    EXPECT_LT(server.body_.find("&Context="), server.body_.find("&LineNumber="));

    const CommandResult notFound = kxdiag({"post", server.url("/missing"), "A:1"});
    EXPECT_EQ(notFound.code, kKxdiagFailed);
    EXPECT_TRUE(notFound.out.starts_with("404\n")) << notFound.out;

    // A port nobody listens on: the one of a server that has gone.
    std::string deadUrl;
    {
        ReportServer gone;
        deadUrl = gone.url("/GenErrorReport.asp");
    }
    const CommandResult refused = kxdiag({"post", deadUrl, "A:1"});
    EXPECT_EQ(refused.code, kKxdiagFailed);
    EXPECT_TRUE(refused.out.starts_with("-1\n")) << refused.out;
}

}  // namespace
}  // namespace kx::errhandler

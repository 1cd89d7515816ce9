#include "errhandler/kxdiag/kxdiag_commands.h"

#include <gtest/gtest.h>

#include <sstream>

#include "platform/registry/registry.h"
#include "tests/support/child_process.h"
#include "tests/support/loopback_http_server.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/temp_dir.h"

namespace kx::errhandler {
namespace {

test::ProcessResult kxdiag(const std::vector<std::string>& args, const std::string& input = "") {
    std::istringstream in(input);
    std::ostringstream out, err;
    const int code = runKxdiag(args, in, out, err);
    return {code, out.str(), err.str()};
}

TEST(Kxdiag, PrintsTheDiagnosticsBlockOfThisMachine) {
    test::ScopedRegistry registry;
    test::TempDir dir;
    test::ScopedEnvironment system("KX_SYSTEM_DIR", dir.str());
    test::ScopedEnvironment common("KX_COMMON_FILES_DIR", dir.str());
    const auto run = kxdiag({});
    EXPECT_EQ(run.exitCode, kKxdiagOk);
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
    const std::string dump = "<mLogin>jsmith</mLogin>\r\n<mPassword>s3cret</mPassword>\r\n";
    const auto run = kxdiag({"mask"}, dump);
    EXPECT_EQ(run.exitCode, kKxdiagOk);
    EXPECT_EQ(run.out, "<mLogin>jsmith</mLogin>\r\n<mPass**********>\r\n");
}

TEST(Kxdiag, VersionPrintsOneLinePerFile) {
    test::TempDir dir;
    test::writeFile(dir / "a.tlb.ver", "2.40.4275.1\n");
    const auto run = kxdiag({"version", (dir / "a.tlb").string(), (dir / "none").string(),
                             std::string(KX_BIN_DIR) + "/kxdiag"});
    EXPECT_EQ(run.exitCode, kKxdiagOk);
    EXPECT_EQ(run.out, "2.40.4275.1\n\n300.1004.0.12\n");
}

TEST(Kxdiag, WrongCommandLinesAreUsageErrors) {
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"bogus"},
                                               {"mask", "extra"},
                                               {"version"},
                                               {"post", "http://127.0.0.1:1/x"},
                                               {"post", "http://127.0.0.1:1/x", "no-colon"}}) {
        const auto run = kxdiag(args);
        EXPECT_EQ(run.exitCode, kKxdiagUsage) << args[0];
        EXPECT_NE(run.err.find("Usage: kxdiag"), std::string::npos);
        EXPECT_TRUE(run.out.empty());
    }
}

TEST(Kxdiag, PostSendsAReportFormAndFailsWithTheStatusAndExitCodeOne) {
    // A report endpoint: "1" at /report, 404 elsewhere.
    test::LoopbackHttpServer server([](const test::HttpRequest& request, test::HttpReply& reply) {
        reply.answer(request.path == "/report" ? 200 : 404, "1");
    });
    const auto run = kxdiag({"post", server.url("/report"), "ProjectName:KXVantor",
                             "Context:a b&c:d\r\n", "LineNumber:10"});
    EXPECT_EQ(run.exitCode, kKxdiagOk) << run.err;
    EXPECT_EQ(run.out, "200\nOK\n1\n");
    // The items in order, each value escaped as the error library sends it.
    const test::HttpRequest received = server.requests().at(0);
    EXPECT_EQ(received.body, "ProjectName=KXVantor&Context=a%20b%26c%3Ad%0D%0A&LineNumber=%31%30");

    const auto notFound = kxdiag({"post", server.url("/missing"), "A:1"});
    EXPECT_EQ(notFound.exitCode, kKxdiagFailed);
    EXPECT_TRUE(notFound.out.starts_with("404\n")) << notFound.out;

    const test::RefusingPort noServer;
    const auto refused = kxdiag({"post", noServer.url("/GenErrorReport.asp"), "A:1"});
    EXPECT_EQ(refused.exitCode, kKxdiagFailed);
    EXPECT_TRUE(refused.out.starts_with("-1\n")) << refused.out;
}

}  // namespace
}  // namespace kx::errhandler

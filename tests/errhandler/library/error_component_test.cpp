// The library as hosts reach it: registered with regsvr32, created by its ProgID, its dialog in a
// host that has no application object of its own, and its log and report where there is no
// display. Nothing makes an application object in this test program, so children may be forked.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <regex>

#include "platform/com/create_object.h"
#include "platform/registry/registry.h"
#include "tests/errhandler/library/error_report_support.h"
#include "tests/support/child_process.h"
#include "tests/support/kxserver_harness.h"
#include "tests/support/raised_error.h"
#include "tests/support/scoped_environment.h"

namespace kx::errhandler {
namespace {

const std::string kLibrary = std::filesystem::canonical(KX_ZNERRHANDLER).string();
const std::string kClassId = "{7C681205-41F3-41BF-A179-AACC6BAC5DD8}";
const std::string kLibraryId = "{9BA2D3FB-7C3C-4F06-80D4-6085C7A90600}";
// Number 5 at line 10 of routine R in module M of project P, version 1.2.
std::vector<Variant> fullArguments() {
    const char* context = "<mPassword>secret</mPassword>\r\n";
    return {std::int32_t(5), "P", "M", "R", "Oops <mPassword>", std::int32_t(10), context, "1.2"};
}

void callErrorHandler(std::vector<Variant> args = fullArguments()) {
    com::CreateObject("ZNErrHandler.Error")->invoke("ErrorHandler", InvokeKind::Method, args);
}

class ErrorComponent : public ::testing::Test {
  protected:
    ErrorComponent() {
        environment.set("KX_ERROR_REPORT_URL", server.reportUrl());
        environment.set("XDG_STATE_HOME", (scratch / "state").string());
        EXPECT_EQ(regsvr32({kLibrary}), 0);
    }
    int regsvr32(const std::vector<std::string>& arguments) {
        return test::runProcess(KX_REGSVR32, arguments, scratch.path()).exitCode;
    }

    test::ScopedRegistry registry;
    test::ProxyFreeEnvironment environment;
    test::ReportServer server;
    test::TempDir scratch;
};

TEST_F(ErrorComponent, RegisteredWithItsTypeLibraryCreatedByProgIdAndUnregisteredWithoutTrace) {
    const std::string interface = "Interface\\{EE81A532-8CBD-448B-BF13-E5D9AD6ECD89}";
    const std::string written[][3] = {
        {"ZNErrHandler.Error\\CLSID", "", kClassId},
        {"CLSID\\" + kClassId + "\\InProcServer32", "", kLibrary},
        {"CLSID\\" + kClassId + "\\TypeLib", "", kLibraryId},
        {"TypeLib\\" + kLibraryId + "\\9.0", "", "ZNErrHandler"},
        {"TypeLib\\" + kLibraryId + "\\9.0\\409\\win64", "", kLibrary},
        {interface, "", "_Error"},
        {interface + "\\TypeLib", "", kLibraryId},
        {interface + "\\TypeLib", "Version", "9.0"}};
    for (const auto& [key, name, value] : written) {
        EXPECT_EQ(registry::queryString(registry::Hive::ClassesRoot, key, name), value) << key;
    }
    const auto error = com::CreateObject("ZNErrHandler.Error");
    error->put("Action", "retry");
    EXPECT_EQ(error->get("ID").asString() + error->get("Action").asString(), "_____retry");
    ASSERT_EQ(regsvr32({"/u", kLibrary}), 0);
    registry::HKEY root;
    ASSERT_EQ(registry::RegOpenKeyEx(registry::Hive::ClassesRoot, "", registry::kKeyRead, root), 0);
    EXPECT_EQ(registry::subKeyNames(root), std::vector<std::string>{});
    EXPECT_EQ(test::raisedError([] { callErrorHandler(); }).number(), vberr::kCantCreateObject);
}

// Without a display each call is logged and reported; with one, the library makes the application
// object that a host without one lacks, and the user's Close on its dialog ends with 1 too.
TEST_F(ErrorComponent, EachCallIsLoggedReportedAndEndsWithOneWithOrWithoutADisplay) {
    environment.unset("QT_QPA_PLATFORM");
    environment.unset("DISPLAY");
    std::vector<Variant> empty(8, Variant(""));
    empty[0] = empty[5] = Variant(std::int32_t{0});
    const auto inScratch = [&](const std::vector<Variant>& args, bool answerDialog) {
        return test::runInChild([&] {
            std::filesystem::current_path(scratch.path());  // for the log
            if (answerDialog) {
                qAddPreRoutine([] { test::answerErrorDialogFromFirstEvent(false); });
            }
            callErrorHandler(args);
        });
    };
    EXPECT_EQ(inScratch(empty, false).exitCode, 1);
    const test::ChildResult child = inScratch(fullArguments(), false);
    EXPECT_EQ(child.exitCode, 1);
    EXPECT_EQ(child.output,
              "ZNErrHandler: Kestrix Error: Oops <mPassword>\n"
              "ZNErrHandler: Sending data to support team...\n"
              "ZNErrHandler: Transfer of data complete.\n");

    const std::string folder = std::filesystem::path(kLibrary).parent_path().string();
    const std::string facts = "\r\nAppPath=\\[" + folder +
                              "\\]\r\nAppEXEName=\\[ZNErrHandler\\]\r\n" + "ParentProcess=\\[" +
                              folder + "/errhandler_component_tests\\]\r\n";
    const std::string date = R"(\d{1,2}/\d{1,2}/\d{4}( \d{1,2}:\d\d:\d\d [AP]M)?)";
    const std::string log = test::readFile(scratch / "KXErrorLog.txt");
    EXPECT_TRUE(std::regex_match(
        log, std::regex(date + "     0 0  " + facts + date +
                        " P 1.2 M R 10 5 Oops <mPassword> <mPass\\*{10}>\r\n" + facts)))
        << log;

    environment.set("QT_QPA_PLATFORM", "offscreen");
    const test::ChildResult dialog = inScratch(fullArguments(), true);
    EXPECT_EQ(dialog.exitCode, 1);
    EXPECT_TRUE(dialog.output.ends_with("Oops <mPassword>|Transfer of data complete.\n"))
        << dialog.output;
    EXPECT_EQ(server.reports().size(), 3u);
}

}  // namespace
}  // namespace kx::errhandler

// The library as hosts reach it: registered with regsvr32, created by its ProgID, its dialog in a
// host that has no application object of its own, and its report where there is no display.
// Nothing here makes an application object in the test program itself, so children may be forked.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <filesystem>

#include "child_process.h"
#include "component.h"
#include "create_object.h"
#include "dialog_watch.h"
#include "library_loader.h"
#include "raised_error.h"
#include "registry.h"
#include "report_address.h"
#include "report_server.h"
#include "scoped_environment.h"

namespace kx::errhandler {
namespace {

const std::string kLibrary = std::filesystem::canonical(KX_ZNERRHANDLER).string();
const std::string kClassId = "{7C681205-41F3-41BF-A179-AACC6BAC5DD8}";
const std::string kLibraryId = "{9BA2D3FB-7C3C-4F06-80D4-6085C7A90600}";
const std::string kInterfaceId = "{EE81A532-8CBD-448B-BF13-E5D9AD6ECD89}";

std::optional<std::string> classesRoot(const std::string& key, const std::string& name = "") {
    return registry::queryString(registry::Hive::ClassesRoot, key, name);
}

void callErrorHandler() {
    std::vector<Variant> args{std::int32_t{5},  "P",   "M",  "R", "Oops",
                              std::int32_t{10}, "ctx", "1.2"};
    com::CreateObject("ZNErrHandler.Error")->invoke("ErrorHandler", InvokeKind::Method, args);
}

class ErrorComponent : public ::testing::Test {
  protected:
    ErrorComponent() {
        environment.clearProxyVariables();
        environment.set(kReportUrlVariable, server.reportUrl());
    }
    int regsvr32(const std::vector<std::string>& arguments) {
        return test::runProcess(KX_REGSVR32, arguments, scratch.path()).exitCode;
    }

    test::ScopedRegistry registry;
    test::ScopedEnvironment environment;
    test::ReportServer server;
    test::TempDir scratch;
};

TEST_F(ErrorComponent, RegisteredWithItsTypeLibraryCreatedByProgIdAndUnregisteredWithoutTrace) {
    ASSERT_EQ(regsvr32({kLibrary}), 0);
    const std::pair<std::string, std::string> written[] = {
        {"ZNErrHandler.Error\\CLSID", kClassId},
        {"CLSID\\" + kClassId + "\\InProcServer32", kLibrary},
        {"CLSID\\" + kClassId + "\\TypeLib", kLibraryId},
        {"TypeLib\\" + kLibraryId + "\\9.0", "ZNErrHandler"},
        {"TypeLib\\" + kLibraryId + "\\9.0\\409\\win64", kLibrary},
        {"Interface\\" + kInterfaceId, "_Error"},
        {"Interface\\" + kInterfaceId + "\\TypeLib", kLibraryId}};
    for (const auto& [key, value] : written) {
        EXPECT_EQ(classesRoot(key), value) << key;
    }
    EXPECT_EQ(classesRoot("Interface\\" + kInterfaceId + "\\TypeLib", "Version"), "9.0");

    const com::LoadedLibrary library(kLibrary);
    const auto canUnloadNow = library.entryPoint<com::DllEntryFunction>(com::kDllCanUnloadNow);
    {
        const auto error = com::CreateObject("ZNErrHandler.Error");
        EXPECT_EQ(canUnloadNow(), com::S_FALSE);
        EXPECT_EQ(error->get("ID").asString(), "_____");
        error->put("Action", "retry");
        EXPECT_EQ(error->get("Action").asString(), "retry");
    }
    EXPECT_EQ(canUnloadNow(), com::S_OK);

    ASSERT_EQ(regsvr32({"/u", kLibrary}), 0);
    // Only the shared containers that registration made on the way are left, empty.
    for (const char* container : {"", "CLSID", "Interface", "TypeLib"}) {
        registry::HKEY key;
        ASSERT_EQ(
            registry::RegOpenKeyEx(registry::Hive::ClassesRoot, container, registry::kKeyRead, key),
            registry::kErrorSuccess);
        EXPECT_EQ(registry::subKeyNames(key).size(), *container == '\0' ? 3u : 0u) << container;
        EXPECT_TRUE(registry::values(key).empty()) << container;
    }
    EXPECT_EQ(test::raisedError(callErrorHandler).number(), vberr::kCantCreateObject);
}

TEST_F(ErrorComponent, InAHostWithoutAnApplicationTheDialogReportsAndCloseEndsWithOne) {
    ASSERT_EQ(regsvr32({"/s", kLibrary}), 0);
    environment.set("QT_QPA_PLATFORM", "offscreen");
    const test::ChildResult child = test::runInChild([] {
        qAddPreRoutine(&test::watchForErrorDialogFromFirstEvent);
        callErrorHandler();
    });
    EXPECT_EQ(child.exitCode, 1);
    EXPECT_TRUE(child.output.ends_with("Oops|Transfer of data complete.\n")) << child.output;
    EXPECT_EQ(server.reports().size(), 1u);
}

TEST_F(ErrorComponent, WithoutADisplayItLogsReportsAndEndsWithOne) {
    ASSERT_EQ(regsvr32({"/s", kLibrary}), 0);
    environment.unset("QT_QPA_PLATFORM");
    environment.unset("DISPLAY");
    const test::ChildResult child = test::runInChild([&] {
        std::filesystem::current_path(scratch.path());
        callErrorHandler();
    });
    EXPECT_EQ(child.exitCode, 1);
    EXPECT_EQ(child.output,
              "ZNErrHandler: Kestrix Error: Oops\nZNErrHandler: Sending data to support team...\n"
              "ZNErrHandler: Transfer of data complete.\n");
    EXPECT_EQ(server.reports().size(), 1u);
    EXPECT_TRUE(std::filesystem::exists(scratch / "KXErrorLog.txt"));
}

}  // namespace
}  // namespace kx::errhandler

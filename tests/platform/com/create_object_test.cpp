// Objects created by ProgID from a component library registered with regsvr32.

#include "platform/com/create_object.h"

#include <gtest/gtest.h>

#include "platform/com/component.h"
#include "platform/com/library_loader.h"
#include "tests/platform/com/com_test_support.h"
#include "tests/support/raised_error.h"

namespace kx::com {
namespace {

using kx::test::kEchoClassId;
using kx::test::kEchoLibrary;
using kx::test::raisedError;

class CreateObjectTest : public kx::test::ComponentTest {
  protected:
    void registerEcho() { ASSERT_EQ(regsvr32({"/s", kEchoLibrary}).exitCode, 0); }

    static std::string cannotCreateReason(const std::string& progId) {
        const auto error = raisedError([&] { CreateObject(progId); });
        EXPECT_EQ(error.number(), vberr::kCantCreateObject);
        return error.description();
    }
};

TEST_F(CreateObjectTest, LibraryAnswersCanUnloadNowFromItsLiveObjects) {
    registerEcho();
    auto echo = CreateObject("KXTest.Echo");
    const LoadedLibrary library(kEchoLibrary);
    const auto canUnloadNow = library.entryPoint<DllEntryFunction>(kDllCanUnloadNow);
    ASSERT_NE(canUnloadNow, nullptr);
    EXPECT_EQ(canUnloadNow(), S_FALSE);
    auto second = echo;
    echo.reset();
    EXPECT_EQ(canUnloadNow(), S_FALSE);
    second.reset();
    EXPECT_EQ(canUnloadNow(), S_OK);
}

TEST_F(CreateObjectTest, UnregisteredProgIdOrALibraryThatCannotServeTheClassIsNamedWithTheReason) {
    EXPECT_EQ(cannotCreateReason("X.Y"),
              "ActiveX component can't create object: the ProgID \"X.Y\" is not registered (no "
              "HKEY_CLASSES_ROOT\\X.Y\\CLSID)");
    // A ProgID cannot reach another key through a path separator.
    writeDefault("CLSID\\" + kEchoClassId + "\\CLSID", kEchoClassId);
    EXPECT_NE(cannotCreateReason("CLSID\\" + kEchoClassId).find("not a valid ProgID"),
              std::string::npos);

    // Libraries that cannot serve the class are named with the reason.
    writeDefault("KXTest.Orphan\\CLSID", kEchoClassId);
    EXPECT_NE(cannotCreateReason("KXTest.Orphan").find("has no library path"), std::string::npos);

    const auto missing = (scratch_ / "missing.so").string();
    const auto text = (scratch_ / "text.so").string();
    kx::test::writeFile(text, "this is not a shared object\n");
    struct Case {
        const char* progId;
        std::string path;
        std::string reason;
    };
    const Case cases[] = {
        {"KXTest.Missing", missing, "could not be loaded: " + missing},
        {"KXTest.Text", text, "could not be loaded"},
        {"KXTest.NoExport", kx::test::kNoExportLibrary, "does not export DllGetClassObject"},
        {"KXTest.Stranger", kEchoLibrary,
         "refused the class {00000000-0000-0000-0000-000000000004} (0x80040111)"},
        {"KXTest.Relative", "echo.so", "is not absolute"},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        const std::string classId =
            "{00000000-0000-0000-0000-00000000000" + std::to_string(i + 1) + "}";
        writeDefault(c.progId + std::string("\\CLSID"), classId);
        writeDefault("CLSID\\" + classId + "\\InProcServer32", c.path);
        const auto reason = cannotCreateReason(c.progId);
        EXPECT_NE(reason.find(c.reason), std::string::npos)
            << "case: " << c.progId << ": " << reason;
    }
}

}  // namespace
}  // namespace kx::com

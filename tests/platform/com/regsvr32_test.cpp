// The regsvr32 tool, run as a process against a temporary registry.

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/registry/registry.h"
#include "tests/platform/com/com_test_support.h"
#include "tests/support/scoped_environment.h"

namespace kx::com {
namespace {

using kx::test::kEchoClassId;
using kx::test::kEchoLibrary;
namespace reg = kx::registry;

std::optional<std::string> classesRootDefault(const std::string& key) {
    return reg::queryString(reg::Hive::ClassesRoot, key, "");
}

class Regsvr32Test : public kx::test::ComponentTest {};

TEST_F(Regsvr32Test, RegistersProgIdAndClassWithTheLibrarysAbsolutePathAndUnregistersExactlyThat) {
    const auto result = regsvr32({kEchoLibrary});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "DllRegisterServer in " + kEchoLibrary + " succeeded.\n");
    EXPECT_EQ(result.err, "");

    const std::string classKey = "CLSID\\" + kEchoClassId;
    EXPECT_EQ(classesRootDefault("KXTest.Echo"), "KX test echo component");
    EXPECT_EQ(classesRootDefault("KXTest.Echo\\CLSID"), kEchoClassId);
    EXPECT_EQ(classesRootDefault(classKey), "KX test echo component");
    EXPECT_EQ(classesRootDefault(classKey + "\\InProcServer32"),
              std::filesystem::canonical(kEchoLibrary).string());
    EXPECT_EQ(classesRootDefault(classKey + "\\ProgID"), "KXTest.Echo");

    // Unregistering removes exactly that: something another tool keeps under the class key stays.
    writeDefault(classKey + "\\TypeLib", "{LIB}");
    const auto unregistered = regsvr32({"-U", kEchoLibrary});
    EXPECT_EQ(unregistered.exitCode, 0);
    EXPECT_EQ(unregistered.out, "DllUnregisterServer in " + kEchoLibrary + " succeeded.\n");
    reg::HKEY gone;
    EXPECT_EQ(reg::RegOpenKeyEx(reg::Hive::ClassesRoot, "KXTest.Echo", reg::kKeyRead, gone),
              reg::kErrorFileNotFound);
    EXPECT_EQ(reg::RegOpenKeyEx(reg::Hive::ClassesRoot, classKey + "\\InProcServer32",
                                reg::kKeyRead, gone),
              reg::kErrorFileNotFound);
    EXPECT_EQ(classesRootDefault(classKey), std::nullopt);
    EXPECT_EQ(classesRootDefault(classKey + "\\TypeLib"), "{LIB}");

    // Unregistering again finds nothing to remove, which is not a failure.
    EXPECT_EQ(regsvr32({"/u", "/s", kEchoLibrary}).exitCode, 0);
}

TEST_F(Regsvr32Test, EachKindOfFailureHasItsOwnExitCodeAndMessageUnlessSilenced) {
    auto result = regsvr32({});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "Usage: regsvr32 [/u] [/s] FILE\n");
    EXPECT_EQ(regsvr32({"/x", kEchoLibrary}).exitCode, 1);
    EXPECT_EQ(regsvr32({kEchoLibrary, kEchoLibrary}).exitCode, 1);

    const auto text = (scratch_ / "notes.so").string();
    kx::test::writeFile(text, "plain text\n");
    result = regsvr32({text});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_EQ(result.err.rfind("The module \"" + text + "\" failed to load: ", 0), 0u)
        << result.err;

    result = regsvr32({kx::test::kNoExportLibrary});
    EXPECT_EQ(result.exitCode, 4);
    EXPECT_NE(result.err.find("entry-point DllRegisterServer was not found"), std::string::npos);
    EXPECT_EQ(result.out, "");

    // The silent switch quietens success and failure alike.
    for (const auto& arguments : std::vector<std::vector<std::string>>{
             {"/s", kEchoLibrary}, {"/S", kx::test::kNoExportLibrary}, {"/s"}}) {
        result = regsvr32(arguments);
        EXPECT_EQ(result.out + result.err, "");
    }
    EXPECT_EQ(result.exitCode, 1);  // "/s" alone is still a usage error

    // A registry file below a plain file can never be created, not even by root.
    kx::test::writeFile(scratch_ / "blocker", "");
    const std::string blocked = (scratch_ / "blocker" / "machine.db").string();
    const kx::test::ScopedEnvironment blockedRegistry("KX_MACHINE_REGISTRY", blocked);
    result = regsvr32({kEchoLibrary});
    EXPECT_EQ(result.exitCode, 5);
    EXPECT_EQ(result.err, "The module \"" + kEchoLibrary +
                              "\" was loaded but the call to DllRegisterServer failed with error "
                              "code 0x80040201.\n");
}

}  // namespace
}  // namespace kx::com

#include "errhandler/report/audits.h"

#include <gtest/gtest.h>

#include <sstream>

#include "platform/registry/registry.h"
#include "platform/runtime/vb_strings.h"
#include "tests/platform/version/executable_fixtures.h"
#include "tests/support/registry_value.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/temp_dir.h"

namespace kx::errhandler {
namespace {

using registry::Hive;

// A machine of its own: an empty registry and empty system and common-files folders.
class AuditTest : public ::testing::Test {
  protected:
    void setValue(Hive hive, const std::string& key, const std::string& value) {
        ASSERT_EQ(test::writeRegistryValue(hive, key, "", value), registry::kErrorSuccess);
    }
    std::string systemFile(const std::string& name) { return (dir_ / "system" / name).string(); }
    std::string commonFile(const std::string& name) {
        return (dir_ / "common" / "System" / name).string();
    }
    void registerClass(const std::string& id, const std::string& path) {
        setValue(Hive::ClassesRoot, "CLSID\\{" + id + "}\\InProcServer32", path);
    }

    test::ScopedRegistry registry_;
    test::TempDir dir_;
    test::ScopedEnvironment system_{"KX_SYSTEM_DIR", (dir_ / "system").string()};
    test::ScopedEnvironment common_{"KX_COMMON_FILES_DIR", (dir_ / "common").string()};
};

// What a missing registration, key or file reads as is in the empty machine's audits below.
TEST_F(AuditTest, ClassCheckReportsAnOldFileAndPassesTheCurrentOne) {
    const std::string id = "2206CDB0-19C1-11D1-89E0-00C04FD7A829";
    const std::string path = systemFile("msdasc.dll");
    registerClass(id, path);
    EXPECT_EQ(CheckCLSID(id, "2.71.9030.0", ""),
              "** File [" + path + "] is out of version, is , Should Be - 2.71.9030.0 \r\n");

    test::writeFile(path, test::buildPeFile({{2, 70, 9001, 0}, false}));
    EXPECT_EQ(
        CheckCLSID(id, "2.71.9030.0", "X"),
        "** File [" + path + "] is out of version, is 2.70.9001.0, Should Be - 2.71.9030.0 X\r\n");

    test::writeFile(path, test::buildPeFile({{2, 71, 9030, 0}, false}));
    EXPECT_EQ(CheckCLSID(id, "2.71.9030.0", "X"), "");
}

TEST_F(AuditTest, RegistryCheckComparesExactlyAndShowsWhatItRead) {
    setValue(Hive::LocalMachine, "SOFTWARE\\Classes\\.UDL", "msdasc");
    EXPECT_EQ(CheckRegValue("SOFTWARE\\Classes\\.UDL", "", "MSDASC"),
              "** Error - HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.UDL\\ -- msdasc\r\n");
    setValue(Hive::LocalMachine, "SOFTWARE\\Classes\\.UDL", "MSDASC");
    EXPECT_EQ(CheckRegValue("SOFTWARE\\Classes\\.UDL", "", "MSDASC"), "");
    // Expecting "" passes for a missing key.
    EXPECT_EQ(CheckRegValue("SOFTWARE\\Microsoft\\DataFactory", "", ""), "");
}

TEST_F(AuditTest, FileCheckUsesPeElfAndSideFileVersions) {
    const std::string tlb = systemFile("msdatsrc.tlb");
    test::writeFile(tlb + ".ver", "9.0.9030.0\r\n");
    EXPECT_EQ(CheckFileVersion(tlb, "9.0.9030.0"), "");
    const std::string elf = systemFile("libodbc.so");
    test::ElfFixture fixture;
    fixture.packageJson = R"({"version":"3.510.3711.0"})";
    test::writeFile(elf, test::buildElfFile(fixture));
    EXPECT_EQ(CheckFileVersion(elf, "3.520.9030.0"),
              "** File Needs Update: " + elf + " -- 3.510.3711.0\r\n");
}

// Both audits whole, with the test's machine folders written as <SYSTEM> and <COMMON>.
TEST_F(AuditTest, AuditsOnAnEmptyMachineListEveryCheckInOrder) {
    const std::string text =
        Replace(Replace(CheckMDAC() + CheckCrystalVSFlex(), commonFile(""), "<COMMON>/"),
                systemFile(""), "<SYSTEM>/");
    EXPECT_EQ(text, test::readFile(KX_TEST_DATA_DIR "/errhandler/empty_machine_audits.golden"));
}

// Everything registered and up to date: only the registry values of the data-access audit remain.
TEST_F(AuditTest, AWellInstalledMachineYieldsHeadersOnly) {
    const std::string newest = systemFile("newest.dll");
    test::writeFile(newest, test::buildPeFile({{99, 0, 0, 0}, false}));
    std::istringstream lines(CheckMDAC() + CheckCrystalVSFlex());
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with("** Registry Value Missing: HKEY_CLASSES_ROOT\\CLSID\\{")) {
            registerClass(line.substr(line.find('{') + 1, 36), newest);
        } else if (line.starts_with("** File Needs Update: ")) {
            test::writeFile(line.substr(22, line.find(" -- ") - 22) + ".ver", "99.0.0.0");
        }
    }
    setValue(Hive::LocalMachine, "SOFTWARE\\Classes\\CRViewer.CRViewer\\CLSID",
             "{C4847596-972C-11D0-9567-00A0C9273C2A}");
    setValue(Hive::LocalMachine, "SOFTWARE\\Classes\\CRViewer.CRViewer.8.0\\CLSID",
             "{C4847596-972C-11D0-9567-00A0C9273C2A}");
    EXPECT_EQ(CheckCrystalVSFlex(), "Crystal + VSFlex Checks\r\n\r\nVBRuntime Checks\r\n");
    EXPECT_EQ(CheckMDAC(),
              test::readFile(KX_TEST_DATA_DIR "/errhandler/installed_machine_mdac.golden"));
}

}  // namespace
}  // namespace kx::errhandler

// The registry files under several processes: unprivileged readers, concurrent writers and
// files that are not registry files.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

#include "platform/registry/registry.h"
#include "platform/sqlite/sqlite_database.h"
#include "tests/support/child_process.h"
#include "tests/support/registry_value.h"
#include "tests/support/temp_dir.h"

namespace kx::registry {
namespace {

using kx::test::ScopedRegistry;
using kx::test::writeRegistryValue;

// Runs `child` in a forked process as the unprivileged "nobody" and returns its exit status: 10
// when the ids could not be dropped, -1 when it did not exit.
int runAsNobody(const std::function<int()>& child) {
    return kx::test::runInChild([&child] {
               _exit(setgid(65534) == 0 && setuid(65534) == 0 && geteuid() == 65534 ? child() : 10);
           })
        .exitCode;
}

std::string integrityCheck(const std::string& file) {
    sqlite::Database db(file, {.readOnly = true});
    auto check = db.prepare("PRAGMA integrity_check");
    return check.step() ? check.text(0) : "no answer";
}

// A temporary registry in a folder that others may enter, for a child that drops to "nobody".
class RegistryPermissions : public ::testing::Test {
  protected:
    void SetUp() override {
        if (geteuid() != 0) {
            GTEST_SKIP() << "needs root to drop to an unprivileged user";
        }
        ASSERT_EQ(chmod(folder_.c_str(), 0755), 0);
    }

    ScopedRegistry registry_;
    const std::filesystem::path folder_ =
        std::filesystem::path(registry_.machineFile()).parent_path();
};

TEST_F(RegistryPermissions, UnprivilegedProcessReadsTheMachineFileButMayNotWriteOrCreateIt) {
    ASSERT_EQ(writeRegistryValue(Hive::LocalMachine, "SOFTWARE\\Kestrix", "Version", "3.1"),
              kErrorSuccess);
    ASSERT_EQ(chmod(registry_.machineFile().c_str(), 0644), 0);
    // The user file of the unprivileged process lives in a folder it owns.
    const std::filesystem::path userFolder = folder_ / "nobody";
    std::filesystem::create_directory(userFolder);
    ASSERT_EQ(chown(userFolder.c_str(), 65534, 65534), 0);
    setenv("KX_USER_REGISTRY", (userFolder / "registry.db").c_str(), 1);

    int status = runAsNobody([] {
        if (queryString(Hive::LocalMachine, "SOFTWARE\\Kestrix", "Version") != "3.1") {
            return 11;
        }
        HKEY key;
        if (RegOpenKeyEx(Hive::LocalMachine, "SOFTWARE\\Kestrix", kKeySetValue, key) !=
            kErrorAccessDenied) {
            return 12;
        }
        if (RegCreateKeyEx(Hive::LocalMachine, "SOFTWARE\\New", kKeyRead, key) !=
                kErrorAccessDenied ||
            RegDeleteTree(Hive::LocalMachine, "SOFTWARE") != kErrorAccessDenied) {
            return 13;
        }
        // Its own hive is writable.
        if (writeRegistryValue(Hive::CurrentUser, "Software\\Mine", "x", "y") != kErrorSuccess) {
            return 14;
        }
        return 0;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(queryString(Hive::LocalMachine, "SOFTWARE\\Kestrix", "Version"), "3.1");
    HKEY created;
    EXPECT_EQ(RegOpenKeyEx(Hive::LocalMachine, "SOFTWARE\\New", kKeyRead, created),
              kErrorFileNotFound);

    // An uncreatable machine file is an empty hive to it.
    setenv("KX_MACHINE_REGISTRY", (folder_ / "missing" / "machine.db").c_str(), 1);
    status = runAsNobody([] {
        HKEY key;
        if (RegOpenKeyEx(Hive::LocalMachine, "", kKeyRead, key) != kErrorSuccess ||
            !subKeyNames(key).empty()) {
            return 11;
        }
        return RegCreateKeyEx(Hive::LocalMachine, "SOFTWARE", kKeyWrite, key) == kErrorAccessDenied
                   ? 0
                   : 12;
    });
    EXPECT_EQ(status, 0);
    EXPECT_FALSE(std::filesystem::exists(folder_ / "missing"));
}

TEST(RegistryConcurrency, ProcessesWritingAtOnceLoseNothingAndKeepTheFileSound) {
    ScopedRegistry registry;
    constexpr int kProcesses = 6;
    constexpr int kValuesEach = 40;
    const auto key = [](int p) { return "Software\\Load\\P" + std::to_string(p); };
    const auto text = [](int p, int v) {
        return "p" + std::to_string(p) + "-v" + std::to_string(v);
    };
    pid_t children[kProcesses];
    for (int p = 0; p < kProcesses; ++p) {
        children[p] = fork();
        if (children[p] == 0) {
            bool written = true;
            for (int v = 0; v < kValuesEach && written; ++v) {
                written = writeRegistryValue(Hive::CurrentUser, key(p), "V" + std::to_string(v),
                                             text(p, v)) == kErrorSuccess &&
                          writeRegistryValue(Hive::CurrentUser, "Software\\Load", "Shared",
                                             text(p, v)) == kErrorSuccess;
            }
            _exit(written ? 0 : 1);
        }
        ASSERT_GT(children[p], 0);
    }
    for (pid_t child : children) {
        EXPECT_EQ(kx::test::exitCodeOf(child), 0);
    }
    for (int p = 0; p < kProcesses; ++p) {
        for (int v = 0; v < kValuesEach; ++v) {
            EXPECT_EQ(queryString(Hive::CurrentUser, key(p), "V" + std::to_string(v)), text(p, v));
        }
    }
    // The shared value holds the last write of one of the processes.
    std::string shared =
        queryString(Hive::CurrentUser, "Software\\Load", "Shared").value_or("missing");
    EXPECT_EQ(shared.substr(shared.find('-')), "-v" + std::to_string(kValuesEach - 1)) << shared;
    EXPECT_EQ(integrityCheck(registry.userFile()), "ok");
}

TEST(RegistryFiles, ForeignFilesCannotBeOpenedAndStayUntouched) {
    ScopedRegistry registry;
    HKEY key;
    // A text file where the machine file should be.
    kx::test::writeFile(registry.machineFile(), "this is not a database\n");
    EXPECT_EQ(RegOpenKeyEx(Hive::LocalMachine, "SOFTWARE", kKeyRead, key), kErrorCantOpen);
    EXPECT_EQ(RegCreateKeyEx(Hive::LocalMachine, "SOFTWARE", kKeyWrite, key), kErrorCantOpen);
    EXPECT_EQ(queryString(Hive::ClassesRoot, "CLSID", ""), std::nullopt);
    EXPECT_EQ(kx::test::readFile(registry.machineFile()), "this is not a database\n");

    // Some other application's SQLite database.
    sqlite::Database(registry.userFile(), {.create = true}).exec("CREATE TABLE orders(id INTEGER)");
    EXPECT_EQ(RegCreateKeyEx(Hive::CurrentUser, "Software", kKeyWrite, key), kErrorCantOpen);
    EXPECT_EQ(RegOpenKeyEx(Hive::CurrentUser, "", kKeyRead, key), kErrorCantOpen);
}

}  // namespace
}  // namespace kx::registry

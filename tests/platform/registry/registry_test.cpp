#include "platform/registry/registry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/registry_value.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/temp_dir.h"

namespace kx::registry {
namespace {

using kx::test::ScopedRegistry;

HKEY createKey(Hive hive, const std::string& path, std::uint32_t access = kKeyAllAccess) {
    HKEY key;
    EXPECT_EQ(RegCreateKeyEx(hive, path, access, key), kErrorSuccess) << path;
    return key;
}

void writeValue(Hive hive, const std::string& path, const std::string& name,
                const std::string& text) {
    EXPECT_EQ(test::writeRegistryValue(hive, path, name, text), kErrorSuccess)
        << path << " " << name;
}

HKEY openKey(Hive hive, const std::string& path, std::uint32_t access = kKeyRead) {
    HKEY key;
    EXPECT_EQ(RegOpenKeyEx(hive, path, access, key), kErrorSuccess) << path;
    return key;
}

bool keyExists(Hive hive, const std::string& path) {
    HKEY key;
    return RegOpenKeyEx(hive, path, kKeyRead, key) == kErrorSuccess;
}

// Every test works on the files of a fresh temporary registry.
class Registry : public ::testing::Test {
  protected:
    ScopedRegistry registry_;
};

TEST_F(Registry, QueryFiftyByteBufferHoldsFortyNineCharactersAndTheirNulAndTextEndsAtTheFirstNul) {
    writeValue(Hive::LocalMachine, "SOFTWARE\\Kestrix", "Fits", std::string(49, 'a'));
    writeValue(Hive::LocalMachine, "SOFTWARE\\Kestrix", "TooLong", std::string(50, 'b'));
    const HKEY key = openKey(Hive::LocalMachine, "SOFTWARE\\Kestrix");

    char buffer[50];
    std::uint32_t size = sizeof buffer;
    std::uint32_t type = 0;
    ASSERT_EQ(RegQueryValueEx(key, "Fits", &type, buffer, &size), kErrorSuccess);
    EXPECT_EQ(size, 50U);
    EXPECT_EQ(type, kRegSz);
    EXPECT_EQ(std::string(buffer, size - 1), std::string(49, 'a'));
    EXPECT_EQ(buffer[49], '\0');

    size = sizeof buffer;
    EXPECT_EQ(RegQueryValueEx(key, "TooLong", nullptr, buffer, &size), kErrorMoreData);
    EXPECT_EQ(size, 51U);

    // Asking only for the size, and asking for a missing value.
    size = 0;
    EXPECT_EQ(RegQueryValueEx(key, "TooLong", nullptr, nullptr, &size), kErrorSuccess);
    EXPECT_EQ(size, 51U);
    size = sizeof buffer;
    EXPECT_EQ(RegQueryValueEx(key, "Absent", nullptr, buffer, &size), kErrorFileNotFound);
    EXPECT_EQ(RegQueryValueEx(key, "Fits", nullptr, buffer, nullptr), kErrorInvalidParameter);

    // Value text ends at the first NUL and always reads back with one.
    const HKEY writable = createKey(Hive::LocalMachine, "SOFTWARE\\Kestrix");
    const char noNul[] = {'a', 'b', 'c'};
    ASSERT_EQ(RegSetValueEx(writable, "NoNul", kRegSz, noNul, 3), kErrorSuccess);
    ASSERT_EQ(RegSetValueEx(writable, "Inner", kRegExpandSz, "ab\0cd", 6), kErrorSuccess);
    ASSERT_EQ(RegSetValueEx(writable, "Empty", kRegSz, nullptr, 0), kErrorSuccess);
    EXPECT_EQ(RegSetValueEx(writable, "Binary", 3, "x", 2), kErrorInvalidParameter);
    size = sizeof buffer;
    ASSERT_EQ(RegQueryValueEx(writable, "NoNul", nullptr, buffer, &size), kErrorSuccess);
    EXPECT_EQ(size, 4U);
    EXPECT_STREQ(buffer, "abc");
    size = sizeof buffer;
    ASSERT_EQ(RegQueryValueEx(writable, "Inner", &type, buffer, &size), kErrorSuccess);
    EXPECT_EQ(type, kRegExpandSz);
    EXPECT_STREQ(buffer, "ab");
    EXPECT_EQ(queryString(Hive::LocalMachine, "SOFTWARE\\Kestrix", "Empty"), "");
    EXPECT_EQ(queryString(Hive::LocalMachine, "SOFTWARE\\Kestrix", "Binary"), std::nullopt);
}

TEST_F(Registry, NamesCompareWithoutLetterCaseKeepTheirSpellingAndHaveWindowsFormsAndBounds) {
    writeValue(Hive::CurrentUser, "Software\\Kestrix\\LoginInfo", "FilerCode", "ABC");
    EXPECT_EQ(queryString(Hive::CurrentUser, "SOFTWARE\\KESTRIX\\logininfo", "filercode"), "ABC");

    // Writing under another spelling updates the same value and keeps the first spelling.
    writeValue(Hive::CurrentUser, "software\\kestrix\\LOGININFO", "FILERCODE", "XYZ");
    HKEY key = openKey(Hive::CurrentUser, "Software");
    EXPECT_EQ(subKeyNames(key), std::vector<std::string>{"Kestrix"});
    ASSERT_EQ(RegOpenKeyEx(key, "kestrix\\logininfo", kKeyRead, key), kErrorSuccess);
    using Pairs = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(values(key), (Pairs{{"FilerCode", "XYZ"}}));

    // Letters outside ASCII are compared exactly.
    writeValue(Hive::CurrentUser, "Software\\Émile", "", "x");
    EXPECT_FALSE(keyExists(Hive::CurrentUser, "Software\\éMILE"));
    EXPECT_TRUE(keyExists(Hive::CurrentUser, "SOFTWARE\\Émile"));

    // Path forms and bounds as Windows treats them.
    createKey(Hive::LocalMachine, "SOFTWARE\\Kestrix");
    EXPECT_EQ(RegOpenKeyEx(Hive::LocalMachine, "SOFTWARE\\Kestrix\\\\", kKeyRead, key),
              kErrorSuccess);
    EXPECT_EQ(RegOpenKeyEx(Hive::LocalMachine, "\\SOFTWARE", kKeyRead, key), kErrorBadPathname);
    EXPECT_EQ(RegCreateKeyEx(Hive::LocalMachine, "SOFTWARE\\\\Kestrix", kKeyRead, key),
              kErrorBadPathname);
    EXPECT_EQ(RegOpenKeyEx(Hive::LocalMachine, std::string("SOFT\0WARE", 9), kKeyRead, key),
              kErrorInvalidParameter);

    EXPECT_EQ(RegCreateKeyEx(Hive::LocalMachine, std::string(255, 'n'), kKeyRead, key),
              kErrorSuccess);
    EXPECT_EQ(RegCreateKeyEx(Hive::LocalMachine, std::string(256, 'n'), kKeyRead, key),
              kErrorInvalidParameter);
    std::string longPath;
    while (longPath.size() <= 32767) {
        longPath += std::string(200, 'p') + "\\";
    }
    EXPECT_EQ(RegCreateKeyEx(Hive::LocalMachine, longPath, kKeyRead, key), kErrorInvalidParameter);
    EXPECT_EQ(RegOpenKeyEx(Hive::LocalMachine, "", kKeyRead, key), kErrorSuccess);
    EXPECT_TRUE(subKeyNames(key).size() == 2);  // SOFTWARE and the 255-character name

    HKEY writable = createKey(Hive::LocalMachine, "SOFTWARE\\Kestrix");
    std::string largest(1024 * 1024 - 1, 'd');
    EXPECT_EQ(setString(writable, "Largest", largest), kErrorSuccess);
    EXPECT_EQ(setString(writable, "TooLarge", largest + "d"), kErrorInvalidParameter);
    EXPECT_EQ(queryString(Hive::LocalMachine, "SOFTWARE\\Kestrix", "Largest"), largest);
    EXPECT_EQ(setString(writable, std::string(16384, 'v'), "x"), kErrorInvalidParameter);
}

TEST_F(Registry, AccessSetValueRightOnAMissingKeyFailsAndCreatesNothing) {
    createKey(Hive::LocalMachine, "SOFTWARE\\Microsoft");
    HKEY key;
    EXPECT_EQ(RegOpenKeyEx(Hive::LocalMachine, "SOFTWARE\\Microsoft\\Windows NT\\Fonts",
                           kKeySetValue, key),
              kErrorFileNotFound);
    EXPECT_EQ(key, nullptr);
    EXPECT_FALSE(keyExists(Hive::LocalMachine, "SOFTWARE\\Microsoft\\Windows NT"));

    // A handle keeps to the rights it was opened with.
    key = openKey(Hive::LocalMachine, "SOFTWARE\\Microsoft");
    EXPECT_EQ(setString(key, "Name", "value"), kErrorAccessDenied);
    EXPECT_EQ(RegDeleteValue(key, "Name"), kErrorAccessDenied);
    key = openKey(Hive::LocalMachine, "SOFTWARE\\Microsoft", kKeySetValue);
    std::string name;
    EXPECT_EQ(RegEnumKeyEx(key, 0, name), kErrorAccessDenied);
    EXPECT_EQ(setString(key, "Name", "value"), kErrorSuccess);
    EXPECT_EQ(RegDeleteValue(key, "name"), kErrorSuccess);
    EXPECT_EQ(RegDeleteValue(key, "name"), kErrorFileNotFound);
    EXPECT_EQ(setString(nullptr, "Name", "value"), kErrorInvalidHandle);
}

TEST_F(Registry, DeleteTreeGoesWithItsValuesAndSiblingsStayAndItsHandlesWriteNothing) {
    writeValue(Hive::LocalMachine, "SOFTWARE\\A\\B\\C", "deep", "1");
    writeValue(Hive::LocalMachine, "SOFTWARE\\A", "", "default");
    writeValue(Hive::LocalMachine, "SOFTWARE\\AB", "sibling", "2");
    writeValue(Hive::LocalMachine, "SOFTWARE\\A]", "sibling", "3");
    writeValue(Hive::LocalMachine, "SOFTWARE\\A[", "sibling", "4");

    EXPECT_EQ(RegDeleteTree(Hive::LocalMachine, "software\\a"), kErrorSuccess);
    EXPECT_FALSE(keyExists(Hive::LocalMachine, "SOFTWARE\\A"));
    EXPECT_FALSE(keyExists(Hive::LocalMachine, "SOFTWARE\\A\\B\\C"));
    EXPECT_EQ(queryString(Hive::LocalMachine, "SOFTWARE\\AB", "sibling"), "2");
    EXPECT_EQ(queryString(Hive::LocalMachine, "SOFTWARE\\A]", "sibling"), "3");
    EXPECT_EQ(queryString(Hive::LocalMachine, "SOFTWARE\\A[", "sibling"), "4");
    EXPECT_EQ(RegDeleteTree(Hive::LocalMachine, "SOFTWARE\\A"), kErrorFileNotFound);

    // Re-creating the key does not bring old values back.
    createKey(Hive::LocalMachine, "SOFTWARE\\A\\B\\C");
    EXPECT_EQ(queryString(Hive::LocalMachine, "SOFTWARE\\A\\B\\C", "deep"), std::nullopt);
    EXPECT_EQ(queryString(Hive::LocalMachine, "SOFTWARE\\A", ""), std::nullopt);

    // Writing through a handle of a deleted key fails and re-creates nothing.
    HKEY gone = createKey(Hive::CurrentUser, "Software\\Gone");
    ASSERT_EQ(RegDeleteTree(Hive::CurrentUser, "Software"), kErrorSuccess);
    EXPECT_EQ(setString(gone, "Name", "value"), kErrorKeyDeleted);
    EXPECT_FALSE(keyExists(Hive::CurrentUser, "Software"));
}

TEST_F(Registry, EnumerationByIndexInUpperCaseOrderUntilNoMoreItems) {
    for (const char* name : {"beta", "_under", "Alpha"}) {
        writeValue(Hive::LocalMachine, std::string("SOFTWARE\\List\\") + name, "", name);
        writeValue(Hive::LocalMachine, "SOFTWARE\\List", name, std::string("v-") + name);
    }
    writeValue(Hive::LocalMachine, "SOFTWARE\\List\\beta\\child", "", "not listed");
    const HKEY key = openKey(Hive::LocalMachine, "SOFTWARE\\List");
    std::vector<std::string> keys;
    std::string name;
    std::string data;
    for (std::uint32_t i = 0; RegEnumKeyEx(key, i, name) == kErrorSuccess; ++i) {
        keys.push_back(name);
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"Alpha", "beta", "_under"}));
    EXPECT_EQ(RegEnumKeyEx(key, 3, name), kErrorNoMoreItems);
    ASSERT_EQ(RegEnumValue(key, 2, name, data), kErrorSuccess);
    EXPECT_EQ(name, "_under");
    EXPECT_EQ(data, "v-_under");
    EXPECT_EQ(RegEnumValue(key, 3, name, data), kErrorNoMoreItems);
}

TEST_F(Registry, HivesClassesRootIsSoftwareClassesOfTheMachineFile) {
    writeValue(Hive::ClassesRoot, "CLSID\\{7C681205-41F3-41BF-A179-AACC6BAC5DD8}", "", "x");
    writeValue(Hive::ClassesRoot, "", "RootValue", "r");
    EXPECT_EQ(queryString(Hive::LocalMachine, "SOFTWARE\\Classes", "RootValue"), "r");
    EXPECT_FALSE(keyExists(Hive::CurrentUser, "SOFTWARE\\Classes"));

    const HKEY root = openKey(Hive::ClassesRoot, "");
    EXPECT_EQ(subKeyNames(root), std::vector<std::string>{"CLSID"});
    ASSERT_EQ(RegDeleteTree(Hive::ClassesRoot, ""), kErrorSuccess);
    EXPECT_TRUE(keyExists(Hive::LocalMachine, "SOFTWARE\\Classes"));
    EXPECT_TRUE(subKeyNames(root).empty());
    EXPECT_EQ(queryString(Hive::LocalMachine, "SOFTWARE\\Classes", "RootValue"), std::nullopt);
}

TEST_F(Registry, FilesMissingFindNothingAndAreNotCreatedAndToldOnesOverrideTheLocatedOnes) {
    HKEY key = openKey(Hive::LocalMachine, "");
    EXPECT_TRUE(subKeyNames(key).empty());
    EXPECT_EQ(RegOpenKeyEx(Hive::LocalMachine, "SOFTWARE", kKeyRead, key), kErrorFileNotFound);
    EXPECT_EQ(queryString(Hive::CurrentUser, "", "x"), std::nullopt);
    EXPECT_FALSE(std::filesystem::exists(registry_.machineFile()));
    EXPECT_FALSE(std::filesystem::exists(registry_.userFile()));

    // Default locations follow the environment.
    EXPECT_EQ(registryFilePath(Hive::ClassesRoot), registry_.machineFile());
    EXPECT_EQ(registryFilePath(Hive::CurrentUser), registry_.userFile());
    kx::test::ScopedEnvironment environment;
    environment.unset("KX_MACHINE_REGISTRY");
    environment.unset("KX_USER_REGISTRY");
    EXPECT_EQ(registryFilePath(Hive::LocalMachine), "/var/lib/kestrix/registry/machine.db");
    environment.set("XDG_CONFIG_HOME", "/home/someone/conf");
    EXPECT_EQ(registryFilePath(Hive::CurrentUser), "/home/someone/conf/kestrix/registry.db");
    environment.set("XDG_CONFIG_HOME", "relative/ignored");
    environment.set("HOME", "/home/someone");
    EXPECT_EQ(registryFilePath(Hive::CurrentUser), "/home/someone/.config/kestrix/registry.db");

    // Files told override the located ones until taken back.
    kx::test::TempDir told;
    useRegistryFiles(RegistryFiles{(told / "machine.db").string(), (told / "user.db").string()});
    writeValue(Hive::ClassesRoot, "KX.Told", "", "machine");
    writeValue(Hive::CurrentUser, "Software\\Kestrix", "Where", "user");
    useRegistryFiles(std::nullopt);
    EXPECT_TRUE(std::filesystem::exists(told / "machine.db"));
    EXPECT_TRUE(std::filesystem::exists(told / "user.db"));
    EXPECT_FALSE(std::filesystem::exists(registry_.machineFile()));
    EXPECT_EQ(queryString(Hive::CurrentUser, "Software\\Kestrix", "Where"), std::nullopt);
}

}  // namespace
}  // namespace kx::registry

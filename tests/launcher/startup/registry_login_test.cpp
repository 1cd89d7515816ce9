#include <gtest/gtest.h>

#include <string>

#include "registry.h"
#include "registry_access.h"
#include "remembered_login.h"
#include "settings.h"
#include "temp_dir.h"

namespace kx::launcher {
namespace {

using registry::Hive;

constexpr const char* kFontsKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";

class MachineRegistry : public ::testing::Test {
  protected:
    void SetUp() override {
        registry::HKEY key;
        ASSERT_EQ(
            registry::RegCreateKeyEx(Hive::LocalMachine, kFontsKey, registry::kKeyAllAccess, key),
            registry::kErrorSuccess);
        registry::RegCloseKey(key);
    }
    test::ScopedRegistry registry_;
};

TEST_F(MachineRegistry, ValuesThatFitTheFiftyByteBufferReadInFullLongerOnesReadEmpty) {
    const std::string text49(49, 'a');
    const std::string text50(50, 'b');
    ASSERT_TRUE(WriteRegValueHKLM(kFontsKey, "v49", text49));
    ASSERT_TRUE(WriteRegValueHKLM(kFontsKey, "v50", text50));
    ASSERT_TRUE(WriteRegValueHKLM(kFontsKey, "empty", ""));
    EXPECT_EQ(GetRegValueHKLM(kFontsKey, "v49"), text49);
    EXPECT_EQ(GetRegValueHKLM(kFontsKey, "v50"), "");
    EXPECT_EQ(GetRegValueHKLM(kFontsKey, "empty"), "");
    EXPECT_EQ(GetRegValueHKLM(kFontsKey, "absent"), "");
    EXPECT_EQ(GetRegValueHKLM("SOFTWARE\\Nowhere", "v49"), "");
}

TEST_F(MachineRegistry, WritingUnderAMissingKeyFailsAndCreatesNothing) {
    EXPECT_FALSE(WriteRegValueHKLM("SOFTWARE\\Missing\\Deeper", "Kestrix Font abc.ttf", "abc.ttf"));
    registry::HKEY key;
    EXPECT_EQ(
        registry::RegOpenKeyEx(Hive::LocalMachine, "SOFTWARE\\Missing", registry::kKeyRead, key),
        registry::kErrorFileNotFound);
    EXPECT_TRUE(WriteRegValueHKLM(kFontsKey, "Kestrix Font abc.ttf", "abc.ttf"));
    EXPECT_EQ(registry::queryString(Hive::LocalMachine, kFontsKey, "Kestrix Font abc.ttf"),
              "abc.ttf");
}

class RememberedLoginStore : public ::testing::Test {
  protected:
    static std::string stored(const char* key) {
        return GetSetting(kSettingsApp, kSettingsSection, key, "<absent>");
    }
    test::ScopedRegistry registry_;
};

TEST_F(RememberedLoginStore, OwnMachineWithRememberTickedRoundTripsWithoutThePassword) {
    SaveSetting(kSettingsApp, kSettingsSection, "Password", "old secret");
    saveRememberedLogin(false, "ABC12", "JSMITH", true);
    EXPECT_EQ(stored("Password"), "");
    const RememberedLogin shown = restoreRememberedLogin(false);
    EXPECT_EQ(shown.filerCode, "ABC12");
    EXPECT_EQ(shown.login, "JSMITH");
    EXPECT_EQ(shown.password, "");
    EXPECT_TRUE(shown.rememberChecked);
}

TEST_F(RememberedLoginStore, OwnMachineWithRememberUncheckedStoresEmptyTexts) {
    saveRememberedLogin(false, "ABC12", "JSMITH", true);
    saveRememberedLogin(false, "ABC12", "JSMITH", false);
    EXPECT_EQ(stored("FilerCode"), "");
    EXPECT_EQ(stored("Login"), "");
    EXPECT_EQ(stored("Password"), "");
    EXPECT_EQ(stored("Remember"), "0");
    EXPECT_FALSE(restoreRememberedLogin(false).rememberChecked);
}

TEST_F(RememberedLoginStore, SharedMachineKeepsTheFilerCodeOnlyAndLocksTheBoxes) {
    saveRememberedLogin(false, "OLD", "OLDLOGIN", true);
    saveRememberedLogin(true, "XY9", "SOMEONE", true);
    EXPECT_EQ(stored("Login"), "");
    EXPECT_EQ(stored("Remember"), "0");
    const RememberedLogin shown = restoreRememberedLogin(true);
    EXPECT_EQ(shown.filerCode, "XY9");
    EXPECT_EQ(shown.login, "");
    EXPECT_FALSE(shown.rememberChecked);
    EXPECT_FALSE(shown.rememberEnabled);
    EXPECT_FALSE(shown.refreshEnabled);
    EXPECT_FALSE(shown.refreshVisible);
    // The Login a shared machine never stores is not shown even where an old one remains.
    SaveSetting(kSettingsApp, kSettingsSection, "Login", "STALE");
    EXPECT_EQ(restoreRememberedLogin(true).login, "");
}

}  // namespace
}  // namespace kx::launcher

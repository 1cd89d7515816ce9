#include <gtest/gtest.h>

#include <string>

#include "launcher/startup/registry_access.h"
#include "launcher/startup/remembered_login.h"
#include "platform/registry/registry.h"
#include "platform/registry/settings.h"
#include "tests/support/temp_dir.h"

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
}

// The window's tests cover what the boxes show and store; this one covers what the window cannot
// ask for: a shared machine with the Remember box ticked.
TEST(RememberedLoginStore, SharedMachineNeverStoresTheLoginEvenWithRememberTicked) {
    test::ScopedRegistry registry;
    saveRememberedLogin(true, "XY9", "SOMEONE", true);
    EXPECT_EQ(GetSetting(kSettingsApp, kSettingsSection, "FilerCode", ""), "XY9");
    EXPECT_EQ(GetSetting(kSettingsApp, kSettingsSection, "Login", "<absent>"), "");
    EXPECT_EQ(GetSetting(kSettingsApp, kSettingsSection, "Remember", "<absent>"), "0");
}

}  // namespace
}  // namespace kx::launcher

#include "platform/registry/settings.h"

#include <gtest/gtest.h>

#include "platform/runtime/run_time_error.h"
#include "tests/support/raised_error.h"
#include "tests/support/temp_dir.h"

namespace kx {
namespace {

using kx::test::ScopedRegistry;

TEST(Settings, SavedValuesComeBackAndMissingOnesGiveTheDefault) {
    ScopedRegistry registry;
    EXPECT_EQ(GetSetting("KXVantor", "LoginInfo", "Remember", "0"), "0");
    EXPECT_EQ(GetSetting("KXVantor", "LoginInfo", "FilerCode"), "");

    SaveSetting("KXVantor", "LoginInfo", "FilerCode", "ABC123");
    SaveSetting("KXVantor", "LoginInfo", "Password", "");
    SaveSetting("KXVantor", "LoginInfo", "FilerCode", "XYZ");
    EXPECT_EQ(GetSetting("KXVantor", "LoginInfo", "FilerCode", "none"), "XYZ");
    // An empty stored value is a value: the default does not replace it.
    EXPECT_EQ(GetSetting("KXVantor", "LoginInfo", "Password", "default"), "");
    EXPECT_EQ(GetSetting("KXVantor", "Other", "FilerCode", "d"), "d");
    EXPECT_EQ(GetSetting("", "", "", "d"), "d");
}

TEST(Settings, SaveRejectsEmptyNamesAndOversizedValuesAndRaisesWhenTheStoreCannotBeWritten) {
    ScopedRegistry registry;
    for (auto save :
         {+[] { SaveSetting("", "S", "K", "v"); }, +[] { SaveSetting("A", "", "K", "v"); },
          +[] { SaveSetting("A", "S", "", "v"); },
          +[] { SaveSetting("A", "S", "K", std::string(2 * 1024 * 1024, 'x')); }}) {
        EXPECT_EQ(kx::test::errorNumberOf(save), vberr::kInvalidProcedureCall);
    }
    // The folder of the user file is a plain file, so the store can be neither created nor
    // written, whoever runs the test.
    kx::test::TempDir dir;
    kx::test::writeFile(dir / "blocker", "x");
    setenv("KX_USER_REGISTRY", (dir / "blocker" / "registry.db").c_str(), 1);
    EXPECT_RUNTIME_ERROR(SaveSetting("KXVantor", "LoginInfo", "FilerCode", "ABC"),
                         vberr::kPathFileAccessError, "KXVantor\\LoginInfo\\FilerCode");
    EXPECT_EQ(GetSetting("KXVantor", "LoginInfo", "FilerCode", "default"), "default");
}

TEST(Settings, DeleteRemovesAKeyASectionOrAnApplication) {
    ScopedRegistry registry;
    SaveSetting("App", "One", "A", "1");
    SaveSetting("App", "One", "B", "2");
    SaveSetting("App", "Two", "C", "3");
    DeleteSetting("App", "One", "A");
    EXPECT_EQ(GetSetting("App", "One", "A", "gone"), "gone");
    EXPECT_EQ(GetSetting("App", "One", "B"), "2");
    DeleteSetting("App", "One");
    EXPECT_EQ(GetSetting("App", "One", "B", "gone"), "gone");
    EXPECT_EQ(GetSetting("App", "Two", "C"), "3");
    DeleteSetting("App");
    EXPECT_EQ(GetSetting("App", "Two", "C", "gone"), "gone");
    EXPECT_THROW(DeleteSetting("App", "Two", "C"), RuntimeError);
    EXPECT_THROW(DeleteSetting("App"), RuntimeError);
}

}  // namespace
}  // namespace kx

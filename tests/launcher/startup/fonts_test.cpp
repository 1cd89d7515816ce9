#include <gtest/gtest.h>

#include <filesystem>

#include "launcher/startup/fonts.h"
#include "tests/support/child_process.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/temp_dir.h"

namespace kx::launcher {
namespace {

namespace fs = std::filesystem;

class LauncherFonts : public ::testing::Test {
  protected:
    test::TempDir program_;
    test::TempDir runtime_;
    test::TempDir windows_;
    const FontPlaces places_{program_.str(), (windows_ / "Fonts").string(),
                             (runtime_ / "kestrix-fonts").string()};
    test::ScopedEnvironment fontconfigFile_{"FONTCONFIG_FILE", std::nullopt};
};

// The registered list is what fontconfig accepted into the current configuration.
TEST_F(LauncherFonts, PresentFilesAreRegisteredInOrderAndMissingOrBrokenOnesSkipped) {
    fs::copy_file(fs::path(KX_LAUNCHER_FONTS_DIR) / "ZN-39.ttf", program_ / "ZN-39.ttf");
    fs::copy_file(fs::path(KX_LAUNCHER_FONTS_DIR) / "fre3of9x.ttf", program_ / "fre3of9x.ttf");
    test::writeFile(program_ / "free3of9.ttf", "not a font");
    EXPECT_EQ(registerLauncherFonts(places_),
              (std::vector<std::string>{(program_ / "fre3of9x.ttf").string(),
                                        (program_ / "ZN-39.ttf").string()}));
}

TEST_F(LauncherFonts, StartedProgramsSeeTheFontsAndTheMachineFontsFolderWithoutCopies) {
    for (const char* name : kLauncherFontFiles) {
        fs::copy_file(fs::path(KX_LAUNCHER_FONTS_DIR) / name, program_ / name);
    }
    fs::create_directory(windows_ / "Fonts");
    fs::copy_file(fs::path(KX_LAUNCHER_FONTS_DIR) / "Pd2nn___.ttf",
                  windows_ / "Fonts" / "inst.ttf");
    ASSERT_EQ(registerLauncherFonts(places_).size(), 4U);

    const fs::path config = runtime_ / "kestrix-fonts" / "fonts.conf";
    ASSERT_STREQ(std::getenv("FONTCONFIG_FILE"), config.c_str());
    for (const char* name : kLauncherFontFiles) {
        const fs::path link = runtime_ / "kestrix-fonts" / "files" / name;
        EXPECT_TRUE(fs::is_symlink(link)) << name;
        EXPECT_EQ(fs::read_symlink(link), program_ / name);
    }
    // What a started program sees: fc-list run with the launcher's environment.
    const std::string seen = test::runProcess("fc-list", {":", "family"}, runtime_.path()).out;
    for (const char* family : {"Free 3 of 9 Extended", "Free 3 of 9", "Pd2nn Code 39", "ZN 39"}) {
        EXPECT_NE(seen.find(family), std::string::npos) << family;
    }
    // A second start rewrites the same configuration instead of nesting it.
    registerLauncherFonts(places_);
    EXPECT_EQ(test::readFile(config).find(config.string()), std::string::npos);
}

TEST(FontconfigText, IncludesTheBaseAndEscapesFolderNames) {
    EXPECT_EQ(fontconfigText("/etc/fonts/fonts.conf", {"/a&b/<f>"}),
              "<?xml version=\"1.0\"?>\n"
              "<!DOCTYPE fontconfig SYSTEM \"urn:fontconfig:fonts.dtd\">\n"
              "<fontconfig>\n"
              "  <include ignore_missing=\"yes\">/etc/fonts/fonts.conf</include>\n"
              "  <dir>/a&amp;b/&lt;f&gt;</dir>\n"
              "</fontconfig>\n");
}

}  // namespace
}  // namespace kx::launcher

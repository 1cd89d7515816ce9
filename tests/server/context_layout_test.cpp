// A report's context taken apart for reading: the launcher's variable dump by section and entry,
// the diagnostics by labelled line, and anything else kept as it came.

#include <gtest/gtest.h>

#include "server/support/context_layout.h"

namespace kx::server::support {
namespace {

TEST(ContextLayout, ReadsTheDumpsEntriesAndTheDiagnosticsLines) {
    const std::string context =
        "<Variables>\r\n<LocalVariables>\r\n"
        "<vInfo>{VS_FIXEDFILEINFO}</vInfo><i>3</i>\r\n"
        "<buf>\r\n  <buf Index=\"0\">1</buf>\r\n  <buf Index=\"1\"><x></buf>\r\n</buf>\r\n"
        "<vtData>\r\n{UnInitialised Array}</vtData>\r\n"
        "{Error 13 formatting for output}</LocalVariables>\r\n"
        "<ModuleVariables>\r\n{None}</ModuleVariables>\r\n"
        "<GlobalVariables>\r\n<mLogin>DEMO</mLogin>\r\n</GlobalVariables>\r\n</Variables>\r\n"
        "<Parameters>\r\n{None}</Parameters>\r\n\r\n"
        "Error Handler Version = 9.0.3\r\nMemory Load = %42\r\nTotal Page File = \r\n"
        "MDAC Components: MDAC CHECK\r\n** Registry Value Missing: HKCR\\CLSID\\{x} - \r\n"
        "CRYSTAL + VSFLEX: Crystal + VSFlex Checks\r\n\r\nVBRuntime Checks\r\n";
    const ContextLayout layout = layOutContext(context);
    ASSERT_EQ(layout.sections.size(), 4u);
    EXPECT_EQ(layout.sections[0].title, "Local variables");
    EXPECT_EQ(layout.sections[0].entries,
              (std::vector<DumpEntry>{
                  {"vInfo", "{VS_FIXEDFILEINFO}"},
                  {"i", "3"},
                  {"buf", "  <buf Index=\"0\">1</buf>\r\n  <buf Index=\"1\"><x></buf>"},
                  {"vtData", "{UnInitialised Array}"},
                  {"", "{Error 13 formatting for output}"}}));
    EXPECT_TRUE(layout.sections[1].entries.empty());
    EXPECT_EQ(layout.sections[2].entries, (std::vector<DumpEntry>{{"mLogin", "DEMO"}}));
    EXPECT_EQ(layout.sections[3].title, "Parameters");
    EXPECT_EQ(layout.other, "");

    ASSERT_EQ(layout.diagnostics.size(), 5u);
    EXPECT_EQ(layout.diagnostics[1].label, "Memory Load");
    EXPECT_EQ(layout.diagnostics[1].value, "%42");
    EXPECT_EQ(layout.diagnostics[2].value, "");
    EXPECT_EQ(layout.diagnostics[3].label, "MDAC Components");
    EXPECT_EQ(layout.diagnostics[3].value,
              "MDAC CHECK\n** Registry Value Missing: HKCR\\CLSID\\{x} -");
    EXPECT_EQ(layout.diagnostics[4].value, "Crystal + VSFlex Checks\n\nVBRuntime Checks");
}

TEST(ContextLayout, KeepsWhatItCannotReadAsItCame) {
    EXPECT_EQ(layOutContext("a free text\r\nof two lines").other, "a free text\r\nof two lines");
    // A section cut short: its open entry takes the rest; what follows the dump is kept.
    const auto cut = layOutContext(
        "<LocalVariables>\r\n<arr>\r\n  <arr "
        "Index=\"0\">1</arr>\r\n</LocalVariables>\r\nBacktrace:\r\n#0 main");
    ASSERT_EQ(cut.sections.size(), 1u);
    ASSERT_EQ(cut.sections[0].entries.size(), 1u);
    EXPECT_EQ(cut.sections[0].entries[0].value, "  <arr Index=\"0\">1</arr>");
    EXPECT_EQ(cut.other, "Backtrace:\r\n#0 main");
    EXPECT_TRUE(cut.diagnostics.empty());
}

}  // namespace
}  // namespace kx::server::support

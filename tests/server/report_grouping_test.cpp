// Error reports grouped by cause: which reports share a fingerprint, and groups that stay right
// as reports are stored, pruned by age and found in catalogs made before grouping; and a report's
// context taken apart for reading: the launcher's variable dump by section and entry, the
// diagnostics by labelled line, and anything else kept as it came.

#include <gtest/gtest.h>

#include "server/catalog.h"
#include "server/support/context_layout.h"
#include "server/support/store/report_fingerprint.h"
#include "server/support/store/report_groups.h"
#include "tests/support/temp_dir.h"

namespace kx::server::support {
namespace {

ReportFields report(const std::string& description, const std::string& line = "12",
                    const std::string& version = "300.1100.3",
                    const std::string& routine = "Main") {
    return {{"ProjectName", "KXVantor"},
            {"ProjectVersion", version},
            {"Module", "modStartup"},
            {"Routine", routine},
            {"LineNumber", line},
            {"ErrorNumber", "53"},
            {"ErrorDescription", description}};
}

TEST(ReportFingerprint, VariablePartsOfTheDescriptionDoNotSplitACause) {
    const std::pair<const char*, const char*> same[] = {
        {"File not found: C:\\Users\\ann\\AppData\\x1.tmp (error 3021)",
         "File  not found: C:\\Users\\bob\\Temp\\y22.tmp (error 17)"},
        {"Cannot open '/home/ann/My Files/a.cfg'.", "Cannot open '/var/lib/kx/b.cfg'."},
        {"Class {00000507-0000-0010-8000-00AA006D2EA4} missing at 0x7FFE12",
         "Class 2206cdb0-19c1-11d1-89e0-00c04fd7a829 missing at 0xdeadbeef"},
        {"Unknown (&HE06D7363) after 1,234.5 ms", "Unknown (&H80000003) after 7 ms"},
        {"Program Files C:\\Program Files\\Kestrix\\a.dll is old",
         "Program Files D:\\Kestrix\\b.dll is old"},
        {"HRESULT 8007000E", "HRESULT 80004005A"}};
    for (const auto& [first, second] : same) {
        EXPECT_EQ(reportFingerprint(report(first)), reportFingerprint(report(second, "12", "1.0")))
            << first;
    }
    EXPECT_EQ(normalisedDescription("File not found: C:\\x\\y.tmp (error 3021)."),
              "File not found: <path> (error <n>).");
    // Words with digits, and prose that merely has an apostrophe, stay what they are.
    EXPECT_EQ(normalisedDescription("Exception: Win32 can't read x86 data"),
              "Exception: Win32 can't read x86 data");
    const std::pair<const char*, const char*> different[] = {
        {"Can't open C:\\x", "Can't find C:\\x"}, {"Input/output error", "Read/write error"}};
    for (const auto& [first, second] : different) {
        EXPECT_NE(normalisedDescription(first), normalisedDescription(second)) << first;
    }
    // Where it happened and what happened tell causes apart; the version does not.
    const std::string base = reportFingerprint(report("Bad file name"));
    EXPECT_NE(base, reportFingerprint(report("Bad file name", "13")));
    EXPECT_NE(base, reportFingerprint(report("Bad file name", "12", "300.1100.3", "Other")));
    EXPECT_NE(base, reportFingerprint(report("Bad path name")));
    EXPECT_EQ(base, reportFingerprint(report("  Bad file name ", " 12 ", "9.9")));
}

class ReportGroupsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Catalog::create(dir_.path(), kDefaultPasswordCost);
        catalog_ = std::make_unique<Catalog>(dir_.path());
    }
    void add(const ReportFields& fields, std::int64_t at) {
        catalog_->reports().add(fields, "10.0.0.1", at);
    }
    ReportGroups groups() { return ReportGroups(catalog_->database()); }
    ListPage<ReportGroup> list(const GroupFilter& filter = {}, std::int64_t page = 1) {
        return groups().groups(filter, page);
    }

    kx::test::TempDir dir_;
    std::unique_ptr<Catalog> catalog_;
};

TEST_F(ReportGroupsTest, ListsCausesByLatestActivityWithCountsVersionsAndFilters) {
    add(report("Error 1 at /a/b"), 1'700'000'000);
    add(report("Line differs", "99", "2.0"), 1'700'000'100);
    add(report("Error 2 at /c", "12", "2.0"), 1'700'000'200);
    add(report("Error 3 at /d", "12", "2.0"), 1'700'000'300);

    const auto all = list();
    ASSERT_EQ(all.total, 2);
    const ReportGroup& top = all.entries[0];
    EXPECT_EQ(top.reportCount, 3);
    EXPECT_EQ(top.description, "Error 3 at /d");
    EXPECT_EQ(top.firstSeen, "2023-11-14T22:13:20");
    EXPECT_EQ(top.lastSeen, "2023-11-14T22:18:20");
    EXPECT_EQ(top.versions, (std::vector<std::string>{"2.0", "300.1100.3"}));
    EXPECT_EQ(top.latestReportId, 4);
    EXPECT_EQ(all.entries[1].lineNumber, "99");

    EXPECT_EQ(list({.version = "300.1100.3"}).total, 1);
    EXPECT_EQ(list({.project = "KXVantor", .text = "differs"}).entries.at(0).lineNumber, "99");
    EXPECT_EQ(list({.text = "MODSTART"}).total, 2);  // module, without regard to case
    EXPECT_EQ(list({.text = "%"}).total, 0);         // no wildcards from outside
    EXPECT_EQ(list({.project = "Other"}).total, 0);

    const auto reports = groups().reports(top.id, 1);
    EXPECT_EQ(reports.total, 3);
    ASSERT_EQ(reports.entries.size(), 3u);
    EXPECT_EQ(reports.entries.front().id, 4);  // the newest first
    EXPECT_EQ(reports.entries.back().version, "300.1100.3");
    EXPECT_EQ(groups().groupOf(2), all.entries[1].id);

    // However a report goes, its cause's count and versions follow.
    catalog_->database().exec("DELETE FROM error_reports WHERE id IN (2, 3)");
    const auto left = list();
    ASSERT_EQ(left.total, 1);
    EXPECT_EQ(left.entries[0].reportCount, 2);
    EXPECT_EQ(left.entries[0].versions, (std::vector<std::string>{"2.0", "300.1100.3"}));
}

TEST_F(ReportGroupsTest, PagesHoldFiftyAndGroupsFollowReportsThatArePruned) {
    for (int i = 0; i < 52; ++i) {
        add(report("Cause", std::to_string(i)), 1'700'000'000 + i);
    }
    EXPECT_EQ(list({}, 1).entries.size(), 50u);
    EXPECT_EQ(list({}, 2).entries.size(), 2u);
    EXPECT_EQ(list({}, 2).entries.back().lineNumber, "0");
    EXPECT_EQ(list({}, 99).entries.size(), 0u);

    // Pruning all but the newest report leaves its group alone, with the newest one's version.
    add(report("Cause", "51", "3.0"), 1'700'000'100);
    catalog_->reports().removeReceivedBefore(1'700'000'100);
    const auto left = list();
    ASSERT_EQ(left.total, 1);
    EXPECT_EQ(left.entries[0].reportCount, 1);
    EXPECT_EQ(left.entries[0].versions, std::vector<std::string>{"3.0"});
}

TEST_F(ReportGroupsTest, CatalogsFromBeforeGroupingOrUnderOtherRulesAreGroupedWhenOpened) {
    add(report("Error 1 at /a"), 1'700'000'000);
    add(report("Error 2 at /b"), 1'700'000'001);
    // A catalog made before grouping: none of its tables.
    catalog_->database().exec(
        "DROP TABLE report_group_members; DROP TABLE report_group_versions; "
        "DROP TABLE report_groups; DROP TABLE support_sessions; DROP TABLE support_users");
    catalog_ = std::make_unique<Catalog>(dir_.path());
    ASSERT_EQ(list().total, 1);
    EXPECT_EQ(list().entries[0].reportCount, 2);

    catalog_->database().exec("UPDATE report_groups SET rules = 0, fingerprint = 'old'");
    catalog_ = std::make_unique<Catalog>(dir_.path());
    const auto regrouped = list();
    ASSERT_EQ(regrouped.total, 1);
    EXPECT_EQ(regrouped.entries[0].reportCount, 2);
    EXPECT_EQ(regrouped.entries[0].fingerprint, reportFingerprint(report("Error 2 at /b")));
}

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

// Filters and Find over real row sets: the criterion language, conversions, and the cursor.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/rowset/ado_errors.h"
#include "platform/rowset/recordset.h"
#include "platform/rowset/rowset_data.h"
#include "tests/platform/rowset/rowset_test_support.h"

namespace kx::rowset {
namespace {

using test::fixture;

class AuthorsFilter : public ::testing::Test {
  protected:
    void SetUp() override { rs.Open(std::filesystem::path(fixture("authors.xml"))); }

    // The au_lname values visible through `criterion`, comma-separated.
    std::string lastNames(const std::string& criterion) {
        rs.setFilter(Variant(criterion));
        std::string names;
        for (; !rs.isEOF(); rs.MoveNext()) {
            names += (names.empty() ? "" : ",") + rs.Fields("au_lname").Value().asString();
        }
        return names;
    }

    Recordset rs;
};

TEST_F(AuthorsFilter, TextComparisonsAndLikeIgnoreCaseGroupsBindAndBeforeOrAndFaultsAreNamed) {
    EXPECT_EQ(lastNames("au_lname = 'o''leary'"), "O'Leary");
    EXPECT_EQ(lastNames("[city]='salt lake city'"), "Ringer");
    EXPECT_EQ(lastNames("au_lname > 'R' "), "White,Smith,Ringer");
    EXPECT_EQ(lastNames("state <> 'ca'"), "Smith,Greene,Ringer");
    EXPECT_EQ(lastNames("au_id = #267-41-2394#"), "O'Leary");
    EXPECT_EQ(lastNames("state = 'CA' AND contract = True OR state = 'UT'"),
              "White,Green,Carson,O'Leary,Ringer");
    EXPECT_EQ(lastNames("(state = 'KS' AND contract = False) OR (state = 'TN')"), "Smith,Greene");
    EXPECT_EQ(lastNames("((city = 'Oakland')) or city = 'Berkeley' and zip = '94705'"),
              "Green,Carson");
    // LIKE accepts trailing or surrounding wildcards.
    EXPECT_EQ(lastNames("au_lname LIKE 'gree*'"), "Green,Greene");
    EXPECT_EQ(lastNames("au_lname like '%EE%'"), "Green,Greene");
    EXPECT_EQ(lastNames("city LIKE 'oakland'"), "Green");

    // No match gives BOF and EOF; removing the filter restores all rows, at the first.
    rs.setFilter(Variant("state = 'ZZ'"));
    EXPECT_TRUE(rs.isBOF());
    EXPECT_TRUE(rs.isEOF());
    EXPECT_EQ(rs.RecordCount(), 0);
    EXPECT_EQ(rs.AbsolutePosition(), adPosUnknown);
    EXPECT_RUNTIME_ERROR(rs.MoveFirst(), adoerr::kNoCurrentRecord, "requires a current record");

    rs.setFilter(Variant(""));
    EXPECT_EQ(rs.RecordCount(), 7);
    EXPECT_EQ(rs.Fields("au_lname").Value().asString(), "White");
    rs.setFilter(Variant("state = 'CA'"));
    rs.MoveLast();
    EXPECT_EQ(rs.AbsolutePosition(), 4);
    rs.setFilter(Variant(std::int32_t{adFilterNone}));
    EXPECT_EQ(rs.AbsolutePosition(), 1);
    EXPECT_TRUE(sameStoredValue(rs.Filter(), Variant(std::int32_t{0})));

    // Malformed criteria raise 3001 naming the fault.
    const std::pair<std::string, std::string> cases[] = {
        {"state =", "expected a value"},
        {"= 'CA'", "expected a column name"},
        {"state 'CA'", "expected an operator"},
        {"state = 'CA", "not closed"},
        {"[state = 'CA'", "not closed"},
        {"nosuch = 1", "no column named 'nosuch'"},
        {"state = NULL", "Null cannot be used"},
        {"state = CA", "'CA' is not a number"},
        {"(state = 'CA'", "expected ')'"},
        {"state = 'CA')", "expected AND, OR or the end"},
        {"state = 'CA' AND", "expected a column name"},
        {"(state = 'CA' OR state = 'UT') AND contract = True", "cannot be combined with AND"},
        {"contract = 'maybe'", "cannot be compared with column 'contract' of type adBoolean"},
        {"au_lname LIKE '*een'", "starts with a wildcard"},
        {"au_lname LIKE 'G*n'", "wildcard inside"},
        {std::string(100000, '('), "longer than"},
        {std::string(5000, '(') + "state = 'CA'" + std::string(5000, ')'), "nested more than 32"},
    };
    for (const auto& [criterion, message] : cases) {
        SCOPED_TRACE("case: " + criterion.substr(0, 60));
        EXPECT_RUNTIME_ERROR(rs.setFilter(Variant(criterion)), adoerr::kBadArguments, message);
    }
}

class TypedFilter : public ::testing::Test {
  protected:
    void SetUp() override {
        rs.appendField("Qty", DataType::adInteger, 0, adFldIsNullable);
        rs.appendField("Price", DataType::adCurrency, 0, adFldIsNullable);
        rs.appendField("When", DataType::adDate, 0, adFldIsNullable);
        rs.appendField("KXDeploymentID", DataType::adBigInt, 0, adFldIsNullable);
        rs.Open();
        addRow(5, "5.49", "2024-01-14T23:59:59", "9007199254740993");
        addRow(15, "5.50", "2024-01-15T12:00:00", "42");
        addRow(Variant::null(), Variant::null(), Variant::null(), Variant::null());
        addRow(-3, "-12", "1899-12-29T06:00:00", "7");
    }
    void addRow(Variant qty, Variant price, Variant when, Variant id) {
        rs.AddNew();
        rs.Fields("Qty").setValue(qty);
        rs.Fields("Price").setValue(price);
        rs.Fields("When").setValue(when);
        rs.Fields("KXDeploymentID").setValue(id);
        rs.Update();
    }
    std::int64_t count(const std::string& criterion) {
        rs.setFilter(Variant(criterion));
        return rs.RecordCount();
    }
    Recordset rs;
};

TEST_F(TypedFilter, NumbersAndDatesCompareByValueNullMatchesNothingAndFindSearchesForward) {
    EXPECT_EQ(count("Qty >= 10"), 1);
    EXPECT_EQ(count("Qty <> 5"), 2);
    EXPECT_EQ(count("Qty > -3.5E0"), 3);
    EXPECT_EQ(count("Qty = '15'"), 1);
    EXPECT_EQ(count("Price < $5.50"), 2);
    EXPECT_EQ(count("Price = 5.5"), 1);
    EXPECT_EQ(count("When < #1/15/2024#"), 2);
    EXPECT_EQ(count("When >= #2024-01-15 12:00:00#"), 1);
    EXPECT_EQ(count("When = #12/29/1899 6:00 AM#"), 1);
    // Before 1899-12-30 the serial of 06:00 (-1.25) is below that of midnight (-1.0); the
    // comparison must still follow the clock.
    EXPECT_EQ(count("When > #12/29/1899#"), 3);
    EXPECT_EQ(count("When < #12/29/1899 7:00#"), 1);
    EXPECT_EQ(count("KXDeploymentID = 9007199254740993"), 1);
    EXPECT_EQ(count("KXDeploymentID = 9007199254740992"), 0);
    EXPECT_RUNTIME_ERROR(count("Qty = 'many'"), adoerr::kBadArguments,
                         "'many' cannot be compared with column 'Qty' of type adInteger");
    EXPECT_RUNTIME_ERROR(count("When = #31/31/2024#"), adoerr::kBadArguments, "column 'When'");

    // Find searches forward from the current row among the visible rows.
    rs.setFilter(Variant(""));
    rs.MoveFirst();
    rs.Find("Qty = 5");
    EXPECT_EQ(rs.AbsolutePosition(), 1);  // the current row is tested first
    rs.Find("KXDeploymentID = 7");
    EXPECT_EQ(rs.AbsolutePosition(), 4);
    rs.MovePrevious();
    rs.Find("Qty = 5");
    EXPECT_TRUE(rs.isEOF());
    EXPECT_RUNTIME_ERROR(rs.Find("Qty = 5"), adoerr::kNoCurrentRecord, "current record");

    rs.setFilter(Variant("Qty < 10"));
    rs.Find("Qty = -3");
    EXPECT_EQ(rs.AbsolutePosition(), 2);
    rs.MoveFirst();
    rs.Find("Qty = -3", 0, SearchDirection::adSearchBackward);
    EXPECT_TRUE(rs.isBOF());
    rs.MoveFirst();
    EXPECT_RUNTIME_ERROR(rs.Find("Qty = 5 AND Qty = 6"), adoerr::kBadArguments, "single clause");
}

}  // namespace
}  // namespace kx::rowset

// The Recordset as the launcher uses it: empty in-memory tables, AddNew/Update, navigation,
// fields by name, text streams and files.

#include <gtest/gtest.h>

#include <limits>

#include "platform/rowset/ado_errors.h"
#include "platform/rowset/recordset.h"
#include "platform/rowset/rowset_data.h"
#include "tests/platform/rowset/rowset_test_support.h"
#include "tests/support/temp_dir.h"

namespace kx::rowset {
namespace {

using test::fixture;

Recordset emptyConfigTable() {
    Recordset rs;
    rs.appendField("PropName", DataType::adVarWChar, 255);
    rs.appendField("PropValue", DataType::adVarWChar, 4000);
    rs.Open();
    return rs;
}

void addConfigRow(Recordset& rs, const std::string& name, const std::string& value) {
    rs.AddNew();
    rs.Fields("PropName").setValue(Variant(name));
    rs.Fields("PropValue").setValue(Variant(value));
    rs.Update();
}

TEST(Recordset, EmptyTableRefusesTextLongerThanItsDefinedSize) {
    Recordset rs = emptyConfigTable();
    EXPECT_TRUE(rs.isBOF() && rs.isEOF());
    EXPECT_EQ(rs.RecordCount(), 0);
    EXPECT_RUNTIME_ERROR(rs.MoveFirst(), adoerr::kNoCurrentRecord,
                         "Either BOF or EOF is True, or the current record has been deleted.");

    std::string longest;
    for (int i = 0; i < 255; ++i) {
        longest += "é";  // two bytes, one character
    }
    addConfigRow(rs, longest, "x");
    EXPECT_EQ(rs.Fields("PropName").Value().asString(), longest);

    rs.AddNew();
    EXPECT_RUNTIME_ERROR(rs.Fields("PropName").setValue(Variant(longest + "e")),
                         adoerr::kMultipleStep,
                         "is 256 characters long; the column holds at most 255");
    EXPECT_TRUE(rs.Fields("PropName").Value().isNull());  // nothing was stored, not truncated
    EXPECT_RUNTIME_ERROR(rs.Fields("PropValue").setValue(Variant::null()), adoerr::kMultipleStep,
                         "does not accept Null");
    rs.CancelUpdate();
    EXPECT_EQ(rs.RecordCount(), 1);
}

TEST(Recordset, LoginListStoresConvertedValuesExactly) {
    Recordset rs;
    rs.appendField("LoginType", DataType::adVarWChar, 10);
    rs.appendField("KXDeploymentID", DataType::adBigInt);
    rs.Open();
    rs.AddNew();
    rs.Fields("KXDeploymentID").setValue(Variant("9007199254740993"));
    rs.Fields("LoginType").setValue(Variant(std::int32_t{12}));
    EXPECT_RUNTIME_ERROR(rs.Fields("KXDeploymentID").setValue(Variant("12 apples")),
                         adoerr::kMultipleStep, "column 'KXDeploymentID' of type adBigInt");
    EXPECT_RUNTIME_ERROR(rs.Fields("KXDeploymentID").setValue(Variant::nothing()),
                         adoerr::kWrongValueType, "wrong type");
    rs.Update();
    EXPECT_TRUE(sameStoredValue(rs.Fields("kxdeploymentid").Value(),
                                Variant(std::int64_t{9007199254740993})));
    EXPECT_EQ(rs.Fields("LoginType").Value().asString(), "12");
    EXPECT_RUNTIME_ERROR(rs.Fields("Password"), adoerr::kItemNotFound,
                         "Item cannot be found in the collection corresponding to the requested "
                         "name or ordinal. (There is no column named 'Password'.)");
}

TEST(Recordset, NavigationFollowsTheBofEofRulesAndEditsAreStoredByUpdateOrAMove) {
    Recordset rs = emptyConfigTable();
    addConfigRow(rs, "a", "1");
    addConfigRow(rs, "b", "2");
    addConfigRow(rs, "c", "3");
    rs.MoveFirst();
    rs.MoveNext();
    rs.MoveNext();
    EXPECT_EQ(rs.AbsolutePosition(), 3);
    rs.MoveNext();
    EXPECT_TRUE(rs.isEOF());
    EXPECT_EQ(rs.AbsolutePosition(), adPosEOF);
    EXPECT_RUNTIME_ERROR(rs.MoveNext(), adoerr::kNoCurrentRecord, "BOF or EOF");
    EXPECT_RUNTIME_ERROR(rs.Fields("PropName").Value(), adoerr::kNoCurrentRecord, "BOF or EOF");
    rs.MovePrevious();
    EXPECT_EQ(rs.Fields("PropName").Value().asString(), "c");
    rs.Move(-10);
    EXPECT_TRUE(rs.isBOF());
    EXPECT_FALSE(rs.isEOF());
    EXPECT_EQ(rs.AbsolutePosition(), adPosBOF);
    EXPECT_RUNTIME_ERROR(rs.MovePrevious(), adoerr::kNoCurrentRecord, "BOF or EOF");
    EXPECT_RUNTIME_ERROR(rs.Move(0), adoerr::kNoCurrentRecord, "BOF or EOF");
    rs.Move(std::numeric_limits<std::int64_t>::max());
    EXPECT_TRUE(rs.isEOF());
    rs.Move(std::numeric_limits<std::int64_t>::min());
    EXPECT_TRUE(rs.isBOF());
    rs.MoveLast();
    EXPECT_EQ(rs.Fields("PropName").Value().asString(), "c");
    rs.setAbsolutePosition(2);
    EXPECT_EQ(rs.Fields("PropName").Value().asString(), "b");

    // An edit of the current row is stored by a move and dropped by CancelUpdate.
    rs.MoveFirst();
    rs.Fields("PropValue").setValue(Variant("one"));
    EXPECT_EQ(rs.editMode(), EditMode::adEditInProgress);
    rs.MoveNext();
    rs.Fields("PropValue").setValue(Variant("two"));
    rs.CancelUpdate();
    rs.MoveFirst();
    EXPECT_EQ(rs.Fields("PropValue").Value().asString(), "one");
    rs.MoveNext();
    EXPECT_EQ(rs.Fields("PropValue").Value().asString(), "2");
}

TEST(Recordset, ClosedSetsAndOpenSchemasRefuseTheWrongOperations) {
    Recordset rs;
    EXPECT_RUNTIME_ERROR(rs.RecordCount(), adoerr::kObjectClosed, "closed");
    EXPECT_RUNTIME_ERROR(rs.Open(), adoerr::kBadArguments, "at least one column");
    rs.appendField("A", DataType::adInteger);
    EXPECT_RUNTIME_ERROR(rs.appendField("a", DataType::adInteger), adoerr::kBadArguments,
                         "already has a column named 'a'");
    rs.Open();
    EXPECT_EQ(rs.State(), ObjectState::adStateOpen);
    EXPECT_RUNTIME_ERROR(rs.appendField("B", DataType::adInteger), adoerr::kObjectOpen, "open");
    rs.Close();
    EXPECT_EQ(rs.State(), ObjectState::adStateClosed);
    EXPECT_RUNTIME_ERROR(rs.MoveFirst(), adoerr::kObjectClosed, "closed");
}

TEST(Recordset, LoadsThroughARewoundTextStreamAndSavesVisibleRowsToFiles) {
    Stream stream;
    stream.Open();
    stream.WriteText(kx::test::readFile(fixture("count_alias.xml")));
    stream.Flush();
    stream.setPosition(0);
    Recordset rs;
    rs.Open(stream);
    EXPECT_EQ(rs.RecordCount(), 1);
    EXPECT_EQ(stream.Position(), stream.Size());
    EXPECT_RUNTIME_ERROR(stream.setPosition(stream.Size() + 1), adoerr::kBadArguments,
                         "outside the stream");

    Stream unrewound;
    unrewound.Open();
    unrewound.WriteText(kx::test::readFile(fixture("count_alias.xml")));
    Recordset empty;
    EXPECT_RUNTIME_ERROR(empty.Open(unrewound), adoerr::kPersistence, "not well-formed XML");
    stream.Close();
    EXPECT_RUNTIME_ERROR(stream.ReadText(), adoerr::kObjectClosed, "closed");

    // Files: the visible rows are saved, and missing files are reported.
    kx::test::TempDir dir;
    Recordset config = emptyConfigTable();
    addConfigRow(config, "BaseURL", "https://one");
    addConfigRow(config, "UPDATEADMINLOGIN", "ann");
    addConfigRow(config, "BaseURL", "https://two");
    config.setFilter(Variant("PropName = 'baseurl'"));
    config.Save(dir / "config.xml");

    Recordset loaded;
    loaded.Open(dir / "config.xml");
    EXPECT_EQ(loaded.RecordCount(), 2);
    EXPECT_EQ(loaded.Fields("PropValue").Value().asString(), "https://one");
    EXPECT_EQ(loaded.Fields("PropName").DefinedSize(), 255);

    Recordset missing;
    EXPECT_RUNTIME_ERROR(missing.Open(dir / "absent.xml"), adoerr::kPersistence,
                         "absent.xml' could not be opened");
    EXPECT_RUNTIME_ERROR(config.Save(dir / "no-such-folder" / "x.xml"), adoerr::kPersistence,
                         "could not be saved");
}

}  // namespace
}  // namespace kx::rowset

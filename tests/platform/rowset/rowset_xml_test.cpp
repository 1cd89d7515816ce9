// Reading and writing row-set documents: the published sample shapes, round trips of every
// type, tolerance of other spellings, and refusal of documents that are not row sets.

#include <gtest/gtest.h>

#include <filesystem>
#include <limits>

#include "platform/rowset/ado_errors.h"
#include "platform/rowset/date_time.h"
#include "platform/rowset/recordset.h"
#include "platform/rowset/rowset_data.h"
#include "platform/rowset/rowset_xml.h"
#include "platform/runtime/vb_date.h"
#include "tests/platform/rowset/rowset_test_support.h"
#include "tests/support/temp_dir.h"

namespace kx::rowset {
namespace {

using test::fixture;

constexpr auto kPersist = adoerr::kPersistence;

Row plain(std::vector<Variant> values) {
    return Row{std::move(values), RowStatus::Unchanged, {}};
}

std::string document(const std::string& columns, const std::string& rows,
                     const std::string& schemaUri = std::string(kSchemaNamespace)) {
    return "<xml xmlns:s='" + schemaUri + "' xmlns:dt='" + std::string(kDataTypeNamespace) +
           "' xmlns:rs='urn:schemas-microsoft-com:rowset' xmlns:z='#RowsetSchema'>"
           "<s:Schema id='RowsetSchema'><s:ElementType name='row' content='eltOnly'>" +
           columns + "</s:ElementType></s:Schema><rs:data>" + rows + "</rs:data></xml>";
}

TEST(RowsetXml, SamplesLoadAnsiTextFixedLengthBooleansAndAliasedColumns) {
    Recordset rs;
    rs.Open(std::filesystem::path(fixture("authors.xml")));
    EXPECT_EQ(rs.RecordCount(), 7);
    EXPECT_EQ(rs.Fields("au_id").Type(), DataType::adVarChar);
    EXPECT_EQ(rs.Fields("au_id").DefinedSize(), 11);
    EXPECT_EQ(rs.Fields("phone").Type(), DataType::adChar);
    EXPECT_EQ(rs.Fields("au_id").Attributes() & adFldIsNullable, 0);
    EXPECT_NE(rs.Fields("address").Attributes() & adFldIsNullable, 0);
    EXPECT_EQ(rs.Fields("contract").Type(), DataType::adBoolean);
    EXPECT_TRUE(rs.Fields("contract").Value().asBool());
    rs.Move(3);
    EXPECT_EQ(rs.Fields("au_lname").Value().asString(), "O'Leary");
    rs.MoveNext();
    EXPECT_FALSE(rs.Fields("CONTRACT").Value().asBool());

    // An aliased column is exposed by its real name and written with an alias.
    Recordset aliased;
    aliased.Open(std::filesystem::path(fixture("count_alias.xml")));
    EXPECT_TRUE(sameStoredValue(aliased.Fields("COUNT(*)").Value(), Variant(std::int32_t{23})));
    const std::string saved = aliased.saveXml();
    EXPECT_NE(saved.find("name='c0' rs:name='COUNT(*)'"), std::string::npos) << saved;
    EXPECT_NE(saved.find("<z:row c0='23'/>"), std::string::npos) << saved;
}

TEST(RowsetXml, PendingChangesShowCurrentValuesAndAreWrittenBack) {
    Recordset rs;
    rs.Open(std::filesystem::path(fixture("item_prices.xml")));
    // Rows 1 and 2 unchanged, row 3 with its new price, row 4 inserted, row 5 deleted (absent).
    ASSERT_EQ(rs.RecordCount(), 4);
    rs.MoveNext();
    EXPECT_TRUE(rs.Fields("Unit Price").Value().isNull());
    rs.MoveNext();
    EXPECT_EQ(rs.Fields("Unit Price").Value().asCurrency(), Currency{12500});
    EXPECT_TRUE(sameStoredValue(rs.Fields("ItemCode").Value(), Variant(std::int32_t{3})));
    rs.MoveNext();
    EXPECT_EQ(rs.Fields("Unit Price").Value().asCurrency(), Currency{99900});

    // Written back whole: the original of the changed row, the inserted and the deleted row. Read
    // again, it writes the same bytes, so the reader kept every row's status.
    const std::string saved = rs.saveXml();
    EXPECT_EQ(saved, kx::test::readFile(KX_TEST_DATA_DIR "/rowset/item_prices_saved.golden"));
    EXPECT_EQ(writeRowsetXml(readRowsetXml(saved), {0, 1, 2, 3}), saved);
}

// One column of every type, with extreme, awkward and Null values.
RowsetData everyType() {
    RowsetData data;
    const std::pair<const char*, DataType> columns[] = {
        {"Text", DataType::adVarWChar},  {"Ansi", DataType::adVarChar},
        {"Small", DataType::adSmallInt}, {"Int", DataType::adInteger},
        {"Big", DataType::adBigInt},     {"Byte", DataType::adUnsignedTinyInt},
        {"Real", DataType::adSingle},    {"Dbl", DataType::adDouble},
        {"Money", DataType::adCurrency}, {"Num", DataType::adNumeric},
        {"When", DataType::adDate},      {"Stamp", DataType::adDBTimeStamp},
        {"Flag", DataType::adBoolean},   {"Id", DataType::adGUID},
        {"Blob", DataType::adVarBinary}, {"Unit Price", DataType::adCurrency},
    };
    for (const auto& [name, type] : columns) {
        data.fields.push_back({name, type, 0, true, false, false, 0, 0});
    }
    data.fields[0].definedSize = 100;
    data.rows.push_back(plain(
        {Variant("<a & 'b' \"c\">\n\r\ttab Zoë 東京"), Variant(""), Variant(std::int16_t{-32768}),
         Variant(std::int32_t{2147483647}), Variant(std::numeric_limits<std::int64_t>::min()),
         Variant(std::uint8_t{255}), Variant(1.5e-7f), Variant(0.1), Variant(Currency{-1}),
         Variant(-123.456e10), Variant(OleDate{-1.25}),
         Variant(*dateFromParts({2024, 2, 29, 23, 59, 59, 123})), Variant(true),
         Variant("{8AC6A8F2-1B2C-4D5E-9F00-0123456789AB}"), Variant(std::string("\0\x01\xff", 3)),
         Variant(Currency{std::numeric_limits<std::int64_t>::max()})}));
    std::vector<Variant> nulls(data.fields.size(), Variant::null());
    data.rows.push_back(plain(nulls));
    return data;
}

TEST(RowsetXml, WriterAndReaderRoundTripEveryTypeNullsAndAwkwardText) {
    const RowsetData original = everyType();
    const std::string saved = writeRowsetXml(original, {0, 1});
    const RowsetData loaded = readRowsetXml(saved);
    ASSERT_EQ(loaded.fields.size(), original.fields.size());
    for (std::size_t i = 0; i < original.fields.size(); ++i) {
        EXPECT_EQ(loaded.fields[i].name, original.fields[i].name);
        EXPECT_EQ(loaded.fields[i].type, original.fields[i].type) << original.fields[i].name;
        EXPECT_TRUE(loaded.fields[i].nullable);
    }
    EXPECT_EQ(loaded.fields[0].definedSize, 100);
    ASSERT_EQ(loaded.rows.size(), 2u);
    for (std::size_t r = 0; r < 2; ++r) {
        for (std::size_t i = 0; i < original.fields.size(); ++i) {
            // Same type and value: the empty string stays an empty string, distinct from Null.
            EXPECT_TRUE(sameStoredValue(loaded.rows[r].values[i], original.rows[r].values[i]))
                << "row " << r << " column " << original.fields[i].name;
        }
    }
    EXPECT_EQ(writeRowsetXml(loaded, {0, 1}), saved);
    EXPECT_NE(saved.find("Flag='True'"), std::string::npos);
    EXPECT_NE(saved.find("Stamp='2024-02-29T23:59:59.123'"), std::string::npos);
    EXPECT_NE(saved.find("When='1899-12-29T06:00:00'"), std::string::npos);
}

TEST(RowsetXml, ReaderResolvesNamespacesByUriAndAcceptsOtherSpellingsAndUtf16) {
    const std::string doc =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<xml xmlns:a=\"uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882\" "
        "xmlns:b=\"uuid:C2F41010-65B3-11d1-A29F-00AA00C14882\" "
        "xmlns:c=\"urn:schemas-microsoft-com:rowset\" xmlns:d=\"#RowsetSchema\">"
        "<a:Schema id=\"RowsetSchema\"><a:ElementType name=\"row\" c:whatever=\"7\">"
        "<a:AttributeType name=\"On\" b:type=\"boolean\" c:unknown=\"x\"/>"
        "<a:AttributeType name=\"At\"><a:datatype b:type=\"dateTime\"/></a:AttributeType>"
        "<a:AttributeType name=\"Plain\"/>"
        "</a:ElementType></a:Schema><c:data>"
        "<d:row On=\"true\" At=\"2001-01-01T10:00:00.5Z\" Plain=\"x\" Extra=\"ignored\"/>"
        "<d:row On=\"-1\" At=\"2001-01-01T10:00:00+02:00\"/><d:row On=\"0\"/><d:row On=\"false\"/>"
        "<d:row On=\"1\"/><unknown/></c:data></xml>";
    const RowsetData data = readRowsetXml(doc);
    ASSERT_EQ(data.rows.size(), 5u);
    EXPECT_EQ(data.fields[1].type, DataType::adDBTimeStamp);
    EXPECT_EQ(data.fields[2].type, DataType::adVarWChar);
    const bool expected[] = {true, true, false, false, true};
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(data.rows[i].values[0].asBool(), expected[i]) << i;
    }
    EXPECT_EQ(*formatXdrDateTime(data.rows[0].values[1].asDate()), "2001-01-01T10:00:00.500");
    EXPECT_EQ(*formatXdrDateTime(data.rows[1].values[1].asDate()), "2001-01-01T08:00:00");

    // UTF-16 with a byte order mark.
    // ASCII text, with '~' standing for U+00EB (e with diaeresis).
    const std::string ascii = document("<s:AttributeType name='N'/>", "<z:row N='Zo~'/>");
    std::string utf16 = "\xFF\xFE";
    for (char c : ascii) {
        utf16 += c == '~' ? '\xEB' : c;
        utf16 += '\0';
    }
    EXPECT_EQ(readRowsetXml(utf16).rows.at(0).values[0].asString(), "Zo\xC3\xAB");
}

TEST(RowsetXml, DocumentsThatAreNotRowSetsOrTooLargeRaiseClearErrors) {
    const std::string text = "<s:AttributeType name='T' dt:type='string' dt:maxLength='3'/>";
    const std::string number = "<s:AttributeType name='N' dt:type='int'/>";
    const std::pair<std::string, std::string> cases[] = {
        {"<xml><unclosed></xml>", "not well-formed XML: "},
        {"", "not well-formed XML"},
        {"<xml/>", "has no schema"},
        {document(text, "", "uuid:wrong"), "has no schema"},
        {"<xml xmlns:s='" + std::string(kSchemaNamespace) + "'><s:Schema><s:ElementType>" + text +
             "</s:ElementType></s:Schema></xml>",
         "no data section"},
        {document("", ""), "declares no columns"},
        {document(text + text, ""), "names the column 'T' twice"},
        {document(number + "<s:AttributeType name='X' rs:name='n'/>", ""),
         "names the column 'n' twice"},
        {document(number, "<z:row N='12x'/>"),
         "value '12x' does not fit column 'N' of type adInteger"},
        {document(number, "<z:row N='2147483648'/>"), "Row 1 of the document"},
        {document(text, "<z:row T='abc'/><z:row T='abcd'/>"), "Row 2 of the document"},
        {document("<s:AttributeType name='X' dt:type='martian'/>", ""), "unsupported data type"},
        {document("<s:AttributeType name='X' dt:type='string' dt:maxLength='-4'/>", ""),
         "invalid dt:maxLength"},
        {document(number, "<rs:update><z:row N='1'/></rs:update>"), "exactly one original row"},
        {"<xml><a></b></xml>", "at offset "},
    };
    for (const auto& [doc, message] : cases) {
        SCOPED_TRACE("case: " + message);
        EXPECT_RUNTIME_ERROR(readRowsetXml(doc), kPersist, message);
    }

    // The column count and the document size are bounded.
    std::string columns;
    for (std::size_t i = 0; i <= kMaxColumns; ++i) {
        columns += "<s:AttributeType name='c" + std::to_string(i) + "'/>";
    }
    EXPECT_RUNTIME_ERROR(readRowsetXml(document(columns, "")), kPersist, "more than 4096 columns");

    kx::test::TempDir dir;
    const auto huge = dir / "huge.xml";
    kx::test::writeFile(huge, "<xml/>");
    std::filesystem::resize_file(huge, kMaxDocumentBytes + 1);  // sparse: costs no disk
    Recordset rs;
    EXPECT_RUNTIME_ERROR(rs.Open(huge), kPersist, "at most 268435456 bytes are accepted");
}

TEST(RowsetXml, WriterRefusesWhatTheFormatCannotCarryAndAliasesNamesThatAreNotXmlNames) {
    RowsetData data;
    data.fields.push_back({"T", DataType::adVarWChar, 0, true, false, false, 0, 0});
    data.rows.push_back(plain({Variant(std::string("a\0b", 3))}));
    EXPECT_RUNTIME_ERROR(writeRowsetXml(data, {0}), kPersist, "control character 0");

    data.rows[0] = {{Variant::null()}, RowStatus::Modified, {Variant("was")}};
    EXPECT_RUNTIME_ERROR(writeRowsetXml(data, {0}), kPersist, "sets column 'T' to Null");

    // Names that are not XML names get aliases that collide with no other column.
    RowsetData awkward;
    for (const char* name : {"Unit Price", "c0", "xmlns", "Prénom", "1st"}) {
        awkward.fields.push_back({name, DataType::adInteger, 0, true, false, false, 0, 0});
    }
    awkward.rows.push_back(
        plain({Variant(std::int32_t{1}), Variant(std::int32_t{2}), Variant(std::int32_t{3}),
               Variant(std::int32_t{4}), Variant(std::int32_t{5})}));
    const RowsetData loaded = readRowsetXml(writeRowsetXml(awkward, {0}));
    for (std::size_t i = 0; i < awkward.fields.size(); ++i) {
        EXPECT_EQ(loaded.fields[i].name, awkward.fields[i].name);
        EXPECT_TRUE(sameStoredValue(loaded.rows[0].values[i], awkward.rows[0].values[i])) << i;
    }
}

}  // namespace
}  // namespace kx::rowset

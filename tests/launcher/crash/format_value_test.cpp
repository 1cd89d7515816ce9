#include "launcher/crash/format_value.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "launcher/crash/variable.h"
#include "platform/runtime/dispatch.h"
#include "platform/runtime/run_time_error.h"

namespace kx::crash {
namespace {

using namespace std::string_literals;

// An object whose every answer fails, to check that a failing probe or member does not spoil
// the rest of the dump.
class FailingObject : public Dispatch {
  public:
    explicit FailingObject(bool typeNameFails) : typeNameFails_(typeNameFails) {}
    std::string typeName() const override {
        if (typeNameFails_) {
            raiseError(vberr::kObjectDoesntSupportMember);
        }
        return "clsBroken";
    }
    Variant invoke(std::string_view, InvokeKind, std::vector<Variant>&) override {
        raiseError(vberr::kObjectDoesntSupportMember);
    }
    bool isEnumerable() const override { raiseError(vberr::kObjectDoesntSupportMember); }

  private:
    bool typeNameFails_;
};

TEST(FormatValue, SimpleKindsRenderTheirFixedContentsAndPlainValuesTheirText) {
    EXPECT_EQ(qtrFormatValue("v", Variant(), 0), "<v>{Empty}</v>\r\n");
    EXPECT_EQ(qtrFormatValue("v", Variant::null(), 0), "<v>{Null}</v>\r\n");
    EXPECT_EQ(qtrFormatValue("opt", Variant::missing(), 0), "<opt></opt>\r\n");
    EXPECT_EQ(qtrFormatValue("o", Variant::nothing(), 0), "<o>{Nothing}</o>\r\n");
    EXPECT_EQ(qtrFormatValue("rs", Variant(DataObjectRef{}), 0), "<rs>{Nothing}</rs>\r\n");
    EXPECT_EQ(qtrFormatValue("rs", Variant(DataObjectRef{std::make_shared<Collection>()}), 0),
              "<rs>{DataObject}</rs>\r\n");
    EXPECT_EQ(qtrFormatValue("u", Variant(RecordValue{"MEMORYSTATUS"}), 2),
              "  <u>{UDT - MEMORYSTATUS}</u>\r\n");
    // A failing collection probe counts as "not a collection".
    EXPECT_EQ(qtrFormatValue("o", Variant::object(std::make_shared<FailingObject>(false)), 0),
              "<o>{clsBroken}</o>\r\n");
    // Plain values use the runtime's text (whose conversions have their own tests) and show NULs,
    // without escaping.
    EXPECT_EQ(qtrFormatValue("s", Variant("a\0b"s), 0), "<s>a{Null}b</s>\r\n");
    EXPECT_EQ(qtrFormatValue("x", Variant("<&>"), 0), "<x><&></x>\r\n");
    EXPECT_EQ(qtrFormatValue("c", Variant(Currency{12345}), 0), "<c>1.2345</c>\r\n");
    // The closing tag carries only the name before the first space.
    EXPECT_EQ(qtrFormatValue("Flags Index=\"2\"", Variant(std::int16_t{7}), 4),
              "    <Flags Index=\"2\">7</Flags>\r\n");
}

TEST(FormatValue, ByteArraysListEachElementAndArraysWithoutElementsOrTooManyDimensionsSayWhy) {
    const Variant buf(SafeArray::fromBytes("\x01\x02\xff"s));
    EXPECT_EQ(qtrFormatValue("buf", buf, 0),
              "<buf>\r\n"
              "  <buf Index=\"0\">1</buf>\r\n"
              "  <buf Index=\"1\">2</buf>\r\n"
              "  <buf Index=\"2\">255</buf>\r\n"
              "</buf>\r\n");
    EXPECT_EQ(qtrFormatValue("vtData", Variant(SafeArray()), 0),
              "<vtData>\r\n{UnInitialised Array}</vtData>\r\n");
    const SafeArray fourD({{0, 1}, {0, 1}, {0, 1}, {0, 1}});
    EXPECT_EQ(qtrFormatValue("q", Variant(fourD), 2),
              "  <q>\r\n{Dump truncated at 4 dimensions}  </q>\r\n");
    const SafeArray empty({{1, 0}});
    EXPECT_EQ(qtrFormatValue("e", Variant(empty), 0), "<e>\r\n</e>\r\n");
}

TEST(FormatValue, MultiDimensionalArraysWalkFirstIndexOutermostWithAnyLowerBounds) {
    SafeArray grid({{-1, 2}, {-2, 2}});
    grid.at({-1, -2}) = Variant("a");
    grid.at({-1, -1}) = Variant("b");
    grid.at({0, -2}) = Variant("c");
    grid.at({0, -1}) = Variant("d");
    EXPECT_EQ(qtrFormatValue("g", Variant(grid), 0),
              "<g>\r\n"
              "  <g Index=\"-1,-2\">a</g>\r\n"
              "  <g Index=\"-1,-1\">b</g>\r\n"
              "  <g Index=\"0,-2\">c</g>\r\n"
              "  <g Index=\"0,-1\">d</g>\r\n"
              "</g>\r\n");

    SafeArray cube({{1, 1}, {5, 1}, {0, 2}});
    cube.at({1, 5, 1}) = Variant(std::int32_t{9});
    EXPECT_EQ(qtrFormatValue("c", Variant(cube), 0),
              "<c>\r\n"
              "  <c Index=\"1,5,0\">{Empty}</c>\r\n"
              "  <c Index=\"1,5,1\">9</c>\r\n"
              "</c>\r\n");
}

TEST(FormatValue, CollectionsNestWithTheirMembersNumberedFromOne) {
    auto inner = std::make_shared<Collection>();
    inner->Add(Variant("x"));
    auto outer = std::make_shared<Collection>();
    outer->Add(Variant::object(inner));
    outer->Add(Variant(std::int32_t{3}));
    EXPECT_EQ(qtrFormatValue("col", Variant::object(outer), 0),
              "<col>\r\n"
              "  <col[1]>\r\n"
              "    <col[1][1]>x</col[1][1]>\r\n"
              "  </col[1]>\r\n"
              "  <col[2]>3</col[2]>\r\n"
              "</col>\r\n");
}

TEST(FormatValue, FailuresReplaceOnlyTheEntryThatFailedAndCyclesEndInOne) {
    auto members = std::make_shared<Collection>();
    members->Add(Variant::object(std::make_shared<FailingObject>(true)));
    members->Add(Variant::null());
    EXPECT_EQ(qtrFormatValue("m", Variant::object(members), 0),
              "<m>\r\n"
              "{Error 438 formatting for output}"
              "  <m[2]>{Null}</m[2]>\r\n"
              "</m>\r\n");

    // A self-containing collection ends in an error entry instead of overflowing the stack.
    auto loop = std::make_shared<Collection>();
    loop->Add(Variant::object(loop));
    const std::string text = qtrFormatValue("loop", Variant::object(loop), 0);
    EXPECT_NE(text.find("{Error 28 formatting for output}"), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 9), "</loop>\r\n");
    loop->Remove(1);  // break the cycle so the collection can be freed
}

TEST(Variable, AValueThatCannotBeConvertedRendersAsAnErrorEntry) {
    const Variant farFuture(OleDate{1e300});
    const Variable noDate = Variable::of("when", farFuture);
    EXPECT_EQ(noDate.render(0).rfind("{Error ", 0), 0U) << noDate.render(0);
}

}  // namespace
}  // namespace kx::crash

#include <gtest/gtest.h>

#include "platform/runtime/variant.h"
#include "tests/support/raised_error.h"

namespace kx {
namespace {

TEST(Variant, NumberValueCoversBooleanCurrencyAndDateWrongKindIsTypeMismatchAndArraysHaveBounds) {
    EXPECT_EQ(Variant(true).numberValue(), -1.0);
    EXPECT_EQ(Variant(Currency{12345}).numberValue(), 1.2345);
    EXPECT_EQ(Variant(OleDate{2.25}).numberValue(), 2.25);
    const RuntimeError mismatch = test::raisedError([] { (void)Variant(1.0).asString(); });
    EXPECT_EQ(mismatch.number(), 13);
    EXPECT_EQ(mismatch.description(), "Type mismatch");
    EXPECT_THROW((void)Variant("1").numberValue(), RuntimeError);

    // Arrays: no dimension bounds raise, arbitrary lower bounds hold their elements.
    SafeArray never;
    EXPECT_EQ(never.dimensions(), 0);
    EXPECT_EQ(test::errorNumberOf([&] { (void)never.lowerBound(1); }), 9);
    SafeArray a({{-1, 3}, {5, 2}});
    EXPECT_EQ(a.dimensions(), 2);
    EXPECT_EQ(a.lowerBound(1), -1);
    EXPECT_EQ(a.upperBound(1), 1);
    EXPECT_EQ(a.lowerBound(2), 5);
    EXPECT_EQ(a.upperBound(2), 6);
    EXPECT_EQ(a.elementCount(), 6u);
    a.at({1, 6}) = Variant(std::int32_t{42});
    EXPECT_EQ(a.at({1, 6}).numberValue(), 42.0);
    EXPECT_THROW(a.at({2, 6}), RuntimeError);
    EXPECT_THROW(a.at({1}), RuntimeError);

    const SafeArray bytes = SafeArray::fromBytes("AB");
    ASSERT_EQ(bytes.elementCount(), 2u);
    EXPECT_EQ(bytes.at({1}).type(), VarType::Byte);
    EXPECT_EQ(bytes.at({1}).numberValue(), 66.0);
}

}  // namespace
}  // namespace kx

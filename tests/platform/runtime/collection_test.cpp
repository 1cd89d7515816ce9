#include <gtest/gtest.h>

#include "platform/runtime/dispatch.h"
#include "tests/support/raised_error.h"

namespace kx {
namespace {

TEST(Collection, MembersAreFoundWithoutLetterCaseAndMissingOnesRaise) {
    auto c = std::make_shared<Collection>();
    EXPECT_EQ(test::errorNumberOf([&] { (void)c->get("Item", {Variant(std::int32_t{1})}); }), 9);
    c->call("add", {Variant("A:x")});
    c->call("ADD", {Variant("B:1")});
    EXPECT_EQ(c->get("count").numberValue(), 2.0);
    EXPECT_EQ(c->get("Item", {Variant(std::int32_t{2})}).asString(), "B:1");
    EXPECT_TRUE(c->isEnumerable());
    EXPECT_EQ(c->enumerate().size(), 2u);
    EXPECT_EQ(test::errorNumberOf([&] { (void)c->call("Frobnicate"); }), 438);
}

}  // namespace
}  // namespace kx

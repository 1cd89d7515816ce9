#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

#include "platform/runtime/run_time_error.h"
#include "tests/support/raised_error.h"

namespace kx {
namespace {

TEST(RuntimeError, StandardDescriptionsOfTheRuntimeNumbers) {
    EXPECT_EQ(RuntimeError(6).description(), "Overflow");
    EXPECT_EQ(RuntimeError(9).description(), "Subscript out of range");
    EXPECT_EQ(RuntimeError(13).description(), "Type mismatch");
    EXPECT_EQ(RuntimeError(20).description(), "Application-defined or object-defined error");
}

TEST(ResumeNext, EachStatementRunsTheLastErrorStaysPendingForItsThreadAndOtherExceptionsPass) {
    Err().Clear();
    int ran = 0;
    resumeNextEach({
        [&] { ++ran; },
        [&] { raiseError(5, "first", "one"); },
        [&] { ++ran; },
        [&] { raiseError(13, "second", "two"); },
        [&] { ++ran; },
    });
    EXPECT_EQ(ran, 3);
    EXPECT_TRUE(Err().pending());
    EXPECT_EQ(Err().Number, 13);
    EXPECT_EQ(Err().Source, "second");
    EXPECT_EQ(Err().Description, "two");
    Err().Clear();
    EXPECT_FALSE(Err().pending());
    EXPECT_THROW(resumeNext([] { throw std::logic_error("bug"); }), std::logic_error);

    // Raise rethrows the pending error of its own thread.
    resumeNext([] { raiseError(20, "Login Check", "bad"); });
    std::int32_t seenInOtherThread = -1;
    std::thread([&] { seenInOtherThread = Err().Number; }).join();
    EXPECT_EQ(seenInOtherThread, 0);
    const RuntimeError raised = test::raisedError([] { Err().Raise(); });
    EXPECT_EQ(raised.number(), 20);
    EXPECT_EQ(raised.source(), "Login Check");
    Err().Clear();
}

}  // namespace
}  // namespace kx

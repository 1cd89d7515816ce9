#pragma once
// The run-time error a statement raises, for tests that check number, source and description.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>

#include "platform/runtime/run_time_error.h"

namespace kx::test {

// Runs `statement` and returns the RuntimeError it raised; records a test failure (and returns
// an error numbered 0) when it raised none.
template <class Statement>
RuntimeError raisedError(Statement&& statement) {
    try {
        std::forward<Statement>(statement)();
    } catch (const RuntimeError& error) {
        return error;
    }
    ADD_FAILURE() << "the statement raised no run-time error";
    return RuntimeError(0, {}, {});
}

// The number of the RuntimeError `statement` raises (0, and a test failure, when it raises none).
template <class Statement>
std::int32_t errorNumberOf(Statement&& statement) {
    return raisedError(std::forward<Statement>(statement)).number();
}

}  // namespace kx::test

// Expects `statement` to raise a RuntimeError numbered `expectedNumber` whose description contains
// `expectedText`.
#define EXPECT_RUNTIME_ERROR(statement, expectedNumber, expectedText)                   \
    do {                                                                                \
        const ::kx::RuntimeError raised_ = ::kx::test::raisedError([&] { statement; }); \
        EXPECT_EQ(raised_.number(), (expectedNumber))                                   \
            << #statement << ": " << raised_.description();                             \
        EXPECT_NE(raised_.description().find(expectedText), std::string::npos)          \
            << raised_.description();                                                   \
    } while (false)

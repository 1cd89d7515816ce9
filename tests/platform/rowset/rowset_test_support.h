#pragma once
// Helpers of the row-set tests: fixture paths and checks of raised run-time errors.

#include <gtest/gtest.h>

#include <string>

#include "run_time_error.h"

namespace kx::rowset::test {

inline std::string fixture(const std::string& name) {
    return std::string(KX_ROWSET_DATA_DIR) + "/" + name;
}

// Runs `statement`, expecting a RuntimeError with `number` whose description contains `text`.
#define EXPECT_RUNTIME_ERROR(statement, expectedNumber, expectedText)                            \
    do {                                                                                         \
        try {                                                                                    \
            statement;                                                                           \
            ADD_FAILURE() << "no run-time error from " #statement;                               \
        } catch (const ::kx::RuntimeError& e) {                                                  \
            EXPECT_EQ(e.number(), (expectedNumber)) << e.description();                          \
            EXPECT_NE(e.description().find(expectedText), std::string::npos) << e.description(); \
        }                                                                                        \
    } while (false)

}  // namespace kx::rowset::test

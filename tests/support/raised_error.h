#pragma once
// The run-time error a statement raises, for tests that check number, source and description.

#include <gtest/gtest.h>

#include <utility>

#include "run_time_error.h"

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

}  // namespace kx::test

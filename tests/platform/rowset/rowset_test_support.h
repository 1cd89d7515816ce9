#pragma once
// Helpers of the row-set tests: fixture paths and checks of raised run-time errors.

#include <gtest/gtest.h>

#include <string>

#include "tests/support/raised_error.h"

namespace kx::rowset::test {

inline std::string fixture(const std::string& name) {
    return std::string(KX_ROWSET_DATA_DIR) + "/" + name;
}

}  // namespace kx::rowset::test

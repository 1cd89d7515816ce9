#pragma once
// Test helper: the number of the RuntimeError a statement raises, or 0 when it raises none.

#include <cstdint>

#include "run_time_error.h"

namespace kx::testing {

template <typename Statement>
std::int32_t errorNumberOf(Statement&& statement) {
    try {
        statement();
    } catch (const RuntimeError& e) {
        return e.number();
    }
    return 0;
}

}  // namespace kx::testing

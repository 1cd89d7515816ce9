#pragma once
// How the crash capture treats C++ exceptions that are not run-time errors.

#include <exception>

#include "run_time_error.h"

namespace kx::crash {

// The run-time error that stands for `e`: the error itself when it is one; error 7 ("Out of
// memory") for an allocation failure; otherwise error 51 ("Internal error") whose description
// names the exception's type and message.
RuntimeError asRuntimeError(const std::exception& e);

}  // namespace kx::crash

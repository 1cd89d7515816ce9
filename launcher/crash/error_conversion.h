#pragma once
// How the crash capture treats C++ exceptions that are not run-time errors.

#include <exception>
#include <string>

#include "platform/runtime/run_time_error.h"

namespace kx::crash {

// The run-time error that stands for `e`: the error itself when it is one; error 7 ("Out of
// memory") for an allocation failure; otherwise error 51 ("Internal error") whose description
// names the exception's type and message.
RuntimeError asRuntimeError(const std::exception& e);

// A type's name as the source spells it ("std::runtime_error"), from its mangled name; the
// mangled name itself when it cannot be read.
std::string readableTypeName(const char* mangledName);

}  // namespace kx::crash

#pragma once
// Creation of the error library's object by its ProgID.

#include <memory>

#include "platform/runtime/dispatch.h"

namespace kx::crash {

// Creates a new "ZNErrHandler.Error" object. Raises RuntimeError 429 (with a description naming
// what is missing) when the class is not registered or cannot be created.
std::shared_ptr<Dispatch> createErrorObject();

}  // namespace kx::crash

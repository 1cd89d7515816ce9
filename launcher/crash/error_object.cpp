#include "error_object.h"

#include "crash_support.h"
#include "create_object.h"

namespace kx::crash {

std::shared_ptr<Dispatch> createErrorObject() {
    return com::CreateObject(kErrorHandlerProgId);
}

}  // namespace kx::crash

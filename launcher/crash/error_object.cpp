#include "launcher/crash/error_object.h"

#include "launcher/crash/crash_support.h"
#include "platform/com/create_object.h"

namespace kx::crash {

std::shared_ptr<Dispatch> createErrorObject() {
    return com::CreateObject(kErrorHandlerProgId);
}

}  // namespace kx::crash

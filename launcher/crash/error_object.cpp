#include "error_object.h"

#include "crash_support.h"
#include "run_time_error.h"

namespace kx::crash {

std::shared_ptr<Dispatch> createErrorObject() {
    // Creation by ProgID (registry lookup and library loading) is not part of this build yet.
    raiseError(vberr::kCantCreateObject, std::string(),
               std::string("ActiveX component can't create object: creation of \"") +
                   kErrorHandlerProgId + "\" by ProgID is not available in this build");
}

}  // namespace kx::crash

// Server answers read by the data space: any status and body must give a result or a clean
// run-time error. The same bytes also travel as a text argument of a request.

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/dataspace/remote_call.h"
#include "platform/runtime/run_time_error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    // The first byte picks a status among success, client error and server error.
    const long statuses[] = {200, 204, 404, 500, 503};
    kx::dataspace::CallAnswer answer;
    answer.httpStatus = statuses[data[0] % 5];
    answer.body.assign(reinterpret_cast<const char*>(data + 1), size - 1);
    try {
        kx::dataspace::interpretCallAnswer(answer, "http://h/bo", "P.C");
    } catch (const kx::RuntimeError&) {
    }
    try {
        kx::dataspace::buildCallRequest("P.C", "M", {answer.body});
    } catch (const kx::RuntimeError&) {
    }
    return 0;
}

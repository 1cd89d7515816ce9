// Bodies of remote calls as any client may post them: a call or a clean refusal, never a crash or
// a tree built from a deeply nested body.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "server/call_arguments.h"
#include "server/remote_calls.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view body(reinterpret_cast<const char*>(data), size);
    try {
        const auto call = kx::server::parseRemoteCall(body);
        kx::server::loginAttemptOf(call, "127.0.0.1");
    } catch (const kx::server::RemoteError&) {
    }
    return 0;
}

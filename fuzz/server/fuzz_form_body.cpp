// Form bodies as any client may post them to the report address: fields or a clean refusal of too
// many, and decoding never makes a text longer than what it decodes.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string_view>

#include "server/form_decoding.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view body(reinterpret_cast<const char*>(data), size);
    // A small cap, so that the refusal of too many fields is reached as well.
    constexpr std::size_t kMaxFields = 16;
    std::size_t decoded = 0;
    try {
        const auto fields = kx::server::decodeFormBody(body, kMaxFields);
        if (fields.size() > kMaxFields) {
            __builtin_trap();
        }
        for (const auto& [name, value] : fields) {
            decoded += name.size() + value.size();
        }
    } catch (const std::invalid_argument&) {
    }
    if (decoded > body.size() || kx::server::decodePath(body).size() > body.size()) {
        __builtin_trap();
    }
    return 0;
}

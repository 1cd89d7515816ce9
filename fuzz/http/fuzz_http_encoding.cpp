// Form encoding and URL reading on arbitrary input: nothing may crash, encoded text holds only the
// letter range, "=" and well-formed escapes, and an accepted URL yields a clean request URL.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "errhandler/http/http_request.h"
#include "errhandler/http/transfer_url.h"
#include "errhandler/http/url_encode.h"

namespace {

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

void checkEncoded(std::string_view encoded) {
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        const char c = encoded[i];
        if (c == '%') {
            if (i + 2 >= encoded.size() || !isHexDigit(encoded[i + 1]) ||
                !isHexDigit(encoded[i + 2])) {
                std::abort();
            }
            i += 2;
        } else if (!((c >= 'A' && c <= 'z') || c == '=')) {
            std::abort();
        }
    }
}

void checkRequestUrl(const std::string& url) {
    for (const char c : url) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F || c == '#') {
            std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    using namespace kx::errhandler;

    checkEncoded(URLEncode(input));

    // Lines become post items; the body must be the encoded values joined by "&".
    kx::Collection items;
    std::size_t start = 0;
    while (start <= input.size()) {
        const auto end = input.find('\n', start);
        items.Add(std::string(input.substr(start, end - start)));
        if (end == std::string_view::npos) {
            break;
        }
        start = end + 1;
    }
    (void)buildPostData(items);

    if (const auto url = parseTransferUrl(input)) {
        checkRequestUrl(requestUrlFor(*url));
        const auto request = buildRequest("POST", *url, items, "Agent");
        if (!request.body) {
            std::abort();
        }
    }
    (void)proxySettingFor(true, true, std::string(input), 8080);
    return 0;
}

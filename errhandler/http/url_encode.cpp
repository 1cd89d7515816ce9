#include "errhandler/http/url_encode.h"

#include "platform/runtime/run_time_error.h"

namespace kx::errhandler {

void appendPercentEscape(std::string& out, unsigned char byte) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    out += '%';
    out += kHex[byte >> 4];
    out += kHex[byte & 0x0F];
}

std::string URLEncode(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 3);
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'A' && byte <= 'z') || byte == '=') {
            out += c;
        } else {
            appendPercentEscape(out, byte);
        }
    }
    return out;
}

std::string buildPostData(const Collection& items) {
    std::string body;
    for (const Variant& entry : items.items()) {
        const std::string& item = entry.asString();
        if (!body.empty()) {
            body += '&';
        }
        const auto colon = item.find(':');
        if (colon == std::string::npos) {
            body += "Unknown=" + URLEncode(item);
        } else {
            body +=
                item.substr(0, colon) + "=" + URLEncode(std::string_view(item).substr(colon + 1));
        }
    }
    return body;
}

}  // namespace kx::errhandler

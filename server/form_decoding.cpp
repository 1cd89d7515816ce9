#include "server/form_decoding.h"

#include <stdexcept>

#include "platform/runtime/number_text.h"

namespace kx::server {

namespace {

std::string decodeEscapes(std::string_view text, bool plusIsBlank) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+' && plusIsBlank) {
            out += ' ';
        } else if (c == '%' && i + 2 < text.size() && hexDigitValue(text[i + 1]) >= 0 &&
                   hexDigitValue(text[i + 2]) >= 0) {
            out += static_cast<char>(hexDigitValue(text[i + 1]) * 16 + hexDigitValue(text[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

std::string decodeFormComponent(std::string_view text) {
    return decodeEscapes(text, true);
}

std::string decodePath(std::string_view text) {
    return decodeEscapes(text, false);
}

FormFields decodeFormBody(std::string_view body, std::size_t maxFields) {
    FormFields fields;
    std::size_t start = 0;
    while (start <= body.size()) {
        std::size_t end = body.find('&', start);
        if (end == std::string_view::npos) {
            end = body.size();
        }
        const std::string_view pair = body.substr(start, end - start);
        if (!pair.empty()) {
            if (fields.size() == maxFields) {
                throw std::invalid_argument("too many form fields");
            }
            const std::size_t eq = pair.find('=');
            fields.emplace_back(decodeFormComponent(pair.substr(0, eq)),
                                eq == std::string_view::npos
                                    ? std::string()
                                    : decodeFormComponent(pair.substr(eq + 1)));
        }
        start = end + 1;
    }
    return fields;
}

}  // namespace kx::server

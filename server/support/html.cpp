#include "server/support/html.h"

#include <algorithm>
#include <stdexcept>

namespace kx::server::support {

Html escape(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            case '\t':
            case '\n':
            case '\r':
                out += c;
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
                    out += "\xEF\xBF\xBD";
                } else {
                    out += c;
                }
        }
    }
    return Html(std::move(out));
}

Html fill(std::string_view templateName,
          std::initializer_list<std::pair<std::string_view, Html>> slots) {
    const std::string_view page = embeddedFile(templateName);
    std::string out;
    out.reserve(page.size());
    std::size_t at = 0;
    for (std::size_t open = page.find("{{"); open != std::string_view::npos;
         open = page.find("{{", at)) {
        const std::size_t close = page.find("}}", open);
        if (close == std::string_view::npos) {
            break;
        }
        const std::string_view name = page.substr(open + 2, close - open - 2);
        const auto* slot = std::find_if(slots.begin(), slots.end(),
                                        [&](const auto& given) { return given.first == name; });
        if (slot == slots.end()) {
            throw std::logic_error("the page template " + std::string(templateName) +
                                   " needs the slot " + std::string(name));
        }
        out.append(page.substr(at, open - at));
        out += slot->second.text();
        at = close + 2;
    }
    out.append(page.substr(at));
    return Html(std::move(out));
}

}  // namespace kx::server::support

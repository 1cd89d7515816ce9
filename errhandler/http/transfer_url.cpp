#include "errhandler/http/transfer_url.h"

#include <algorithm>
#include <charconv>

#include "errhandler/http/url_encode.h"
#include "platform/text/ascii_text.h"

namespace kx::errhandler {
namespace {

bool isHostNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_';
}

bool isIpv6LiteralChar(char c) {
    return (c >= 'a' && c <= 'f') || (c >= '0' && c <= '9') || c == ':' || c == '.';
}

std::optional<std::uint16_t> parsePort(std::string_view digits) {
    if (digits.empty() || digits.size() > 5 ||
        !std::all_of(digits.begin(), digits.end(), ascii::isDigit)) {
        return std::nullopt;
    }
    unsigned value = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (value == 0 || value > 65535) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(value);
}

// Splits "host", "host:port", "[v6]" or "[v6]:port" into `url`; false when any part is unusable.
bool splitHostAndPort(std::string_view authority, TransferUrl& url) {
    std::string_view host = authority;
    std::string_view port;
    bool hasPort = false;
    if (authority.starts_with('[')) {
        const auto close = authority.find(']');
        if (close == std::string_view::npos || close < 2) {
            return false;
        }
        host = authority.substr(0, close + 1);
        const std::string_view rest = authority.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':') {
                return false;
            }
            port = rest.substr(1);
            hasPort = true;
        }
        const std::string_view inside = host.substr(1, host.size() - 2);
        if (!std::all_of(inside.begin(), inside.end(), isIpv6LiteralChar)) {
            return false;
        }
    } else {
        const auto colon = authority.find(':');
        if (colon != std::string_view::npos) {
            host = authority.substr(0, colon);
            port = authority.substr(colon + 1);
            hasPort = true;
        }
        if (host.empty() || host.size() > 253 ||
            !std::all_of(host.begin(), host.end(), isHostNameChar)) {
            return false;
        }
    }
    if (hasPort) {
        const auto number = parsePort(port);
        if (!number) {
            return false;
        }
        url.port = *number;
    }
    url.host = std::string(host);
    return true;
}

bool mayStandInRequestTarget(unsigned char byte) {
    if (byte <= 0x20 || byte >= 0x7F) {
        return false;
    }
    static constexpr std::string_view kUnsafe = "\"<>\\^`{|}#[]";
    return kUnsafe.find(static_cast<char>(byte)) == std::string_view::npos;
}

}  // namespace

std::optional<TransferUrl> parseTransferUrl(std::string_view url) {
    if (url.size() > kMaxUrlLength) {
        return std::nullopt;
    }
    const std::string lowered = ascii::lowerCase(url);

    TransferUrl result;
    std::string_view rest = lowered;
    if (rest.starts_with("http://")) {
        rest.remove_prefix(7);
    } else if (rest.starts_with("https://")) {
        rest.remove_prefix(8);
        result.secure = true;
        result.port = 443;
    }
    const auto slash = rest.find('/');
    const std::string_view authority = rest.substr(0, slash);
    if (slash != std::string_view::npos) {
        result.path = std::string(rest.substr(slash + 1));
    }
    if (!splitHostAndPort(authority, result)) {
        return std::nullopt;
    }
    return result;
}

std::string requestUrlFor(const TransferUrl& url) {
    std::string out = url.secure ? "https://" : "http://";
    out += url.host + ":" + std::to_string(url.port) + "/";
    for (const char c : url.path) {
        const auto byte = static_cast<unsigned char>(c);
        if (mayStandInRequestTarget(byte)) {
            out += c;
        } else {
            appendPercentEscape(out, byte);
        }
    }
    return out;
}

}  // namespace kx::errhandler

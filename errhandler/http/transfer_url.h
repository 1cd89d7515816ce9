#pragma once
// How the transfer engine reads the URL it is given.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kx::errhandler {

struct TransferUrl {
    bool secure = false;      // "https://": TLS with peer and host verification
    std::string host;         // lower case; an IPv6 literal keeps its brackets
    std::uint16_t port = 80;  // 443 for "https://" unless the URL names a port
    std::string path;         // the object path after the host, without the leading "/"
};

inline constexpr std::size_t kMaxUrlLength = 8192;

// Lower-cases the whole URL (ASCII letters; host and path alike), drops a leading "http://" (or
// "https://", which selects TLS), and splits the rest at the first "/" into host and path. A port
// written after the host (":8080") is honoured. Anything else before the first "/" is taken as
// the host name, so a URL without a scheme names its host directly.
//
// Returns nothing when the URL cannot be requested: longer than kMaxUrlLength, an empty host, a
// host with characters outside letters, digits, "-", "." and "_" (or a malformed IPv6 literal),
// or a port that is not 1 to 65535.
std::optional<TransferUrl> parseTransferUrl(std::string_view url);

// The absolute URL handed to the HTTP client: scheme, host, port and "/" + path, where the path
// bytes a request target may not carry (controls, space, non-ASCII, quotes, "#" and the like) are
// written as "%XX" and everything else is kept as given.
std::string requestUrlFor(const TransferUrl& url);

}  // namespace kx::errhandler

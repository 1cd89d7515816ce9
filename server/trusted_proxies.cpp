#include "server/trusted_proxies.h"

#include <algorithm>
#include <optional>
#include <stdexcept>

namespace kx::server {

namespace {

using boost::asio::ip::address;

std::optional<address> parseAddress(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    const auto last = text.find_last_not_of(" \t");
    if (first == std::string_view::npos) {
        return std::nullopt;
    }
    boost::system::error_code error;
    const address parsed =
        boost::asio::ip::make_address(std::string(text.substr(first, last - first + 1)), error);
    if (error) {
        return std::nullopt;
    }
    // An IPv4 client seen through an IPv6 socket is the same client.
    if (parsed.is_v6() && parsed.to_v6().is_v4_mapped()) {
        return address(
            boost::asio::ip::make_address_v4(boost::asio::ip::v4_mapped, parsed.to_v6()));
    }
    return parsed;
}

}  // namespace

TrustedProxies::TrustedProxies(const std::vector<std::string>& addresses) {
    for (const std::string& text : addresses) {
        const auto parsed = parseAddress(text);
        if (!parsed) {
            throw std::invalid_argument("not an IP address: \"" + text.substr(0, 100) + "\"");
        }
        trusted_.push_back(*parsed);
    }
}

bool TrustedProxies::trusts(const address& candidate) const {
    return std::find(trusted_.begin(), trusted_.end(), candidate) != trusted_.end();
}

std::string TrustedProxies::clientAddress(const std::string& peer,
                                          std::string_view forwardedFor) const {
    const auto peerAddress = parseAddress(peer);
    if (!peerAddress || !trusts(*peerAddress) || forwardedFor.empty()) {
        return peer;
    }
    std::vector<std::string_view> hops;
    for (std::size_t start = 0; start <= forwardedFor.size();) {
        const std::size_t comma = std::min(forwardedFor.find(',', start), forwardedFor.size());
        hops.push_back(forwardedFor.substr(start, comma - start));
        start = comma + 1;
    }
    // From the right, the nearest hop first; a chain of trusted proxies only leads to its client.
    std::optional<address> client;
    for (auto hop = hops.rbegin(); hop != hops.rend(); ++hop) {
        client = parseAddress(*hop);
        if (!client) {
            return peer;
        }
        if (!trusts(*client)) {
            break;
        }
    }
    return client->to_string();
}

}  // namespace kx::server

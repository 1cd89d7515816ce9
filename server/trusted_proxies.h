#pragma once
// The client address of a request that may have come through reverse proxies. Only the proxies
// named with --trusted-proxy are believed: for a request from one of them, the client is the
// right-most address of X-Forwarded-For that is not itself a trusted proxy (each proxy appends
// the address it was reached from, so everything left of that address may be forged); for a
// request from anywhere else the header is ignored.

#include <string>
#include <string_view>
#include <vector>

#include <boost/asio/ip/address.hpp>

namespace kx::server {

class TrustedProxies {
  public:
    // Throws std::invalid_argument naming an entry that is not an IP address.
    explicit TrustedProxies(const std::vector<std::string>& addresses);

    // `peer` is the address the connection came from, `forwardedFor` every X-Forwarded-For
    // line of the request joined by commas ("" for none). A header that names something other
    // than addresses is not believed: the peer is the client then.
    std::string clientAddress(const std::string& peer, std::string_view forwardedFor) const;

  private:
    bool trusts(const boost::asio::ip::address& address) const;

    std::vector<boost::asio::ip::address> trusted_;
};

}  // namespace kx::server

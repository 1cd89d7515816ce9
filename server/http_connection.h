#pragma once
// One client connection of kxserver. Each request is read under deadlines: the first byte within
// 10 s of the connection (or of the previous answer), the header within 10 s of its first byte,
// the whole request within 60 s; a header is at most 64 KiB and its address at most 8 KiB. A
// connection that waits costs a socket and a buffer, never a thread. The whole request goes to
// the router; its answer is written (a file in pieces, each to be taken within 30 s), and the
// connection waits for the next request unless either side asked to close it.
//
// A request refused on its header alone is answered with "Connection: close" and its body is
// never read as a request: after the answer the server stops sending, discards what still comes
// for up to 5 s (so that the client, still sending, sees the answer rather than a reset) and
// closes the connection.

#include <boost/asio/ip/tcp.hpp>

#include <memory>

namespace kx::server {

class RequestRouter;
class RequestLog;

// Serves `socket` until it closes. `slot` is released when the connection is gone.
void startConnection(boost::asio::ip::tcp::socket socket, RequestRouter& router, RequestLog& log,
                     std::shared_ptr<void> slot);

}  // namespace kx::server

#pragma once
// Running kxserver as a program: serving until the process is told to stop.

#include <ostream>

#include "server/http_server.h"

namespace kx::server {

// Binds the server, writes its base URL as one line to `out`, and serves until SIGINT or SIGTERM
// arrives. Takes all the open files the system allows the process first (a server holds a
// descriptor per client). Throws what KxServer throws when it cannot open its catalog or listen.
void serveUntilStopped(ServerOptions options, std::ostream& out);

}  // namespace kx::server

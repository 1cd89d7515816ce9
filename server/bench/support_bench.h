#pragma once
// The support pages' benchmark: a catalog of 100,000 error reports in 500 causes, and each page
// read over loopback by a logged-in client, one request at a time.

#include <string>

namespace kx::server::bench {

// Builds the catalog, starts `kxserverProgram` on it and prints the latency of each page.
void supportPagesLoad(const std::string& kxserverProgram);

}  // namespace kx::server::bench

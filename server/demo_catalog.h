#pragma once
// The demo catalog: user DEMO/DEMO with password "demo", two login servers, a BROKER deployment
// that always checks for updates and a CLIENT deployment that asks, one install group with a
// text file, a data file with a version side file, a compressed file and a small demo program
// as the start row.

#include <filesystem>

namespace kx::server {

// Creates the catalog in `dir` (which must not hold one yet). `demoProgram` is copied and
// published as the program the deployments start.
void createDemoCatalog(const std::filesystem::path& dir, const std::filesystem::path& demoProgram);

// The demo program beside the running executable: "kxdemoapp" when it was built, otherwise the
// script "kxdemoapp.sh". Throws std::runtime_error when neither is there.
std::filesystem::path findDemoProgram();

}  // namespace kx::server

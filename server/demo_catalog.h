#pragma once
// The demo catalog: user DEMO/DEMO with password "demo", two login servers, a BROKER deployment
// that always checks for updates and a CLIENT deployment that asks, and one install group that
// exercises the install run: regsvr32 into the common folder, a component registered with it
// (type 1), a data file of a few megabytes with its version side file (type 5), a compressed
// manual (type 5), a font for the fonts folder, an installer script (type 4, its version found
// through AltCheck), the demo program, and the demo program as the start row. Every row carries
// a version the installed file shows again, so a second start finds everything current.

#include <filesystem>
#include <string>

namespace kx::server {

// Creates the catalog in `dir` (which must not hold one yet). `demoProgram` is copied and
// published as the program the deployments start.
void createDemoCatalog(const std::filesystem::path& dir, const std::filesystem::path& demoProgram);

// The file `name` beside the running kxserver; throws std::runtime_error when it is not there.
std::filesystem::path findBesideServer(const std::string& name);

// The demo program beside the running executable: "kxdemoapp" when it was built, otherwise the
// script "kxdemoapp.sh". Throws std::runtime_error when neither is there.
std::filesystem::path findDemoProgram();

}  // namespace kx::server

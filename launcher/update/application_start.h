#pragma once
// The start of the chosen application at the install list's start row: up to three attempts of
// the shell's execute operation on FileToWrite, with the default verb, then "runas", then "open",
// each with the parameters `"<m_BOServer> <m_AuthLogin>"` (one quoted argument: the business-object
// URL carrying the token, a blank, the token) in CommonDir. The launcher does not wait for the
// application. A failed attempt adds a line to the attempt log (and an "   Error: " line for a
// run-time error it raised); after three failures the log is raised as a run-time error (number:
// the last code, source "KXVantor"), which the install run's trap reports.

#include <cstdint>
#include <string>

#include "launcher/crash/trap.h"

namespace kx::launcher {

// The locals of the start sequence, kept by the install run's tick (they appear in its dump).
struct ApplicationStartLocals {
    std::int32_t mResult = 0;
    std::string mResultString;
    std::string mParams;
};

void startApplication(crash::Frame& frame, ApplicationStartLocals& locals);

}  // namespace kx::launcher

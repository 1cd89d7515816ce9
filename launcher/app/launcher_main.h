#pragma once
// The launcher's process entry (modStartup).

#include "launcher/startup/launcher_environment.h"

namespace kx::launcher {

// Installs the crash capture (the exception filter first, then the dump of the launcher's state),
// then creates the launcher window with `environment` (gathered by the program's entry), joins the
// login, selection and start-up procedures to it and shows it modelessly; its load handler runs
// before the first paint. Returns at once: the program runs as long as the window exists. An
// unexpected run-time error is reported by the crash capture, which ends the program.
void Main(const LauncherEnvironment& environment);

}  // namespace kx::launcher

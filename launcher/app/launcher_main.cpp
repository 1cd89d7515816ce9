#include "launcher_main.h"

#include "exception_filter.h"
#include "launcher_state.h"
#include "login_procedures.h"
#include "registry.h"
#include "trap.h"
#include "windowed_program.h"

namespace kx::launcher {

void Main(const LauncherEnvironment& environment) {
    crash::Frame frame("modStartup", "Main");
    crash::trapped(frame, [&] {
        frame.line(10);
        crash::qtrInstallFilter();
        frame.line(20);
        registerLauncherStateDump();
        frame.line(30);
        registry::useRegistryFiles(environment.registryFiles);
        qt::showLoginWindow(environment, wireLoginProcedures);
    });
}

}  // namespace kx::launcher

#include "launcher/app/launcher_main.h"

#include "launcher/app/windowed_program.h"
#include "launcher/crash/exception_filter.h"
#include "launcher/crash/trap.h"
#include "launcher/login/login_procedures.h"
#include "launcher/startup/launcher_state.h"
#include "platform/registry/registry.h"

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

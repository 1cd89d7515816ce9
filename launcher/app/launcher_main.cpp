#include "launcher_main.h"

#include "exception_filter.h"
#include "launcher_state.h"
#include "login_procedures.h"
#include "trap.h"
#include "windowed_program.h"

namespace kx::launcher {

void Main() {
    crash::Frame frame("modStartup", "Main");
    crash::trapped(frame, [&] {
        frame.line(10);
        crash::qtrInstallFilter();
        frame.line(20);
        registerLauncherStateDump();
        frame.line(30);
        qt::showLoginWindow(LauncherEnvironment::ofThisProcess(), wireLoginProcedures);
    });
}

}  // namespace kx::launcher

#include "launcher/update/install_window.h"

#include <memory>

#include "launcher/update/cache_refresh.h"
#include "launcher/update/download_handler.h"
#include "launcher/update/install_run.h"

namespace kx::launcher {

bool RepaintPacer::due() {
    const auto now = std::chrono::steady_clock::now();
    if (last_ != std::chrono::steady_clock::time_point{} && now - last_ < interval_) {
        return false;
    }
    last_ = now;
    return true;
}

InstallWindow::InstallWindow(FrmLogin& window) : form(window), view(window.view()), Inet1(view) {
    Inet1.setCAFile(form.environment().caFile);
    Inet1.setRateLimit(form.environment().downloadRateLimit);
    Inet1.setMaxRedirects(kInstallFileRedirects);
}

void InstallWindow::pacedRefresh() {
    if (pacer.due()) {
        view.Refresh();
    }
}

void wireInstallProcedures(FrmLogin& form) {
    auto window = std::make_shared<InstallWindow>(form);
    InstallWindow& w = *window;
    w.Inet1.setStateChanged([&w](std::int16_t State) { Inet1_StateChanged(w, State); });
    // While a chunk is awaited the window stays live (its changed controls repaint themselves),
    // at the pace of the screen.
    w.Inet1.setWaitHook([&w] {
        if (w.pacer.due()) {
            w.view.DoEvents();
        }
    });
    form.setEventProcedure(Control::tmrComInstall, ControlEvent::Timer,
                           [window] { tmrComInstall_Timer(*window); });
    form.setEventProcedure(Control::cmdRefresh, ControlEvent::Click, [] { cmdRefresh_Click(); });
}

}  // namespace kx::launcher

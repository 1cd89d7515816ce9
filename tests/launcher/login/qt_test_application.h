#pragma once
// The one QApplication of a Qt test program, made on first use (offscreen in tests).

#include <QApplication>

namespace kx::test {

inline QApplication& qtTestApplication() {
    static int argc = 1;
    static char name[] = "launcher_login_qt_tests";
    static char* argv[] = {name, nullptr};
    static auto* application = [] {
        auto* app = new QApplication(argc, argv);
        QApplication::setApplicationName(QStringLiteral("KXVantor"));
        return app;
    }();
    return *application;
}

}  // namespace kx::test

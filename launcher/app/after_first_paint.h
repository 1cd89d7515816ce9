#pragma once
// Work that must not delay what the user sees first: run once a window has been painted.

#include <QObject>
#include <functional>

namespace kx::launcher::qt {

// Watches `watched` (a window, or the application for every window) and calls its action once,
// right after the first paint of a window; it then removes itself.
class AfterFirstPaint final : public QObject {
  public:
    AfterFirstPaint(QObject* watched, std::function<void()> action);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QObject* watched_;
    std::function<void()> action_;
    bool seen_ = false;
};

}  // namespace kx::launcher::qt

#include "launcher/app/after_first_paint.h"

#include <QEvent>
#include <QWidget>

namespace kx::launcher::qt {

AfterFirstPaint::AfterFirstPaint(QObject* watched, std::function<void()> action)
    : QObject(watched), watched_(watched), action_(std::move(action)) {
    watched->installEventFilter(this);
}

bool AfterFirstPaint::eventFilter(QObject* watched, QEvent* event) {
    const bool windowPaint = event->type() == QEvent::Paint && watched->isWidgetType() &&
                             static_cast<QWidget*>(watched)->isWindow();
    if (windowPaint && !seen_) {
        seen_ = true;
        watched_->removeEventFilter(this);
        // Queued: the filter sees the event before the window paints.
        QMetaObject::invokeMethod(
            this,
            [this] {
                action_();
                deleteLater();
            },
            Qt::QueuedConnection);
    }
    return false;
}

}  // namespace kx::launcher::qt

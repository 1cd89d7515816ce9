#include "errhandler/report/qt/fitted_label.h"

#include <QEvent>
#include <QPainter>
#include <QTextLayout>
#include <vector>

namespace kx::errhandler {

FittedLabel::FittedLabel(const QString& text, int width, int lines, QWidget* parent)
    : QLabel(text, parent), width_(width), lines_(lines) {
    setTextFormat(Qt::PlainText);
    fixSize();
}

void FittedLabel::fixSize() {
    setFixedSize(width_, lines_ * fontMetrics().lineSpacing());
}

void FittedLabel::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) {
        fixSize();
    }
    QLabel::changeEvent(event);
}

void FittedLabel::paintEvent(QPaintEvent* /*event*/) {
    QString shown = text();
    shown.replace(QLatin1Char('\n'), QChar::LineSeparator);
    QTextLayout layout(shown, font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);

    const QRect area = contentsRect();
    std::vector<QTextLine> fitting;
    bool cut = false;
    qreal top = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(area.width());
        if (top + line.height() > area.height()) {
            cut = true;
            break;
        }
        line.setPosition(QPointF(0, top));
        top += line.height();
        fitting.push_back(line);
    }
    layout.endLayout();

    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    const QPointF origin = area.topLeft();
    for (std::size_t i = 0; i < fitting.size(); ++i) {
        const QTextLine& line = fitting[i];
        if (!cut || i + 1 < fitting.size()) {
            line.draw(&painter, origin);
            continue;
        }
        // The last line shown, with the rest of the text behind it, as much as fits.
        QString rest = shown.mid(line.textStart());
        rest.replace(QChar::LineSeparator, QLatin1Char(' '));
        painter.drawText(QPointF(origin.x(), origin.y() + line.y() + line.ascent()),
                         fontMetrics().elidedText(rest, Qt::ElideRight, area.width()));
    }
}

}  // namespace kx::errhandler

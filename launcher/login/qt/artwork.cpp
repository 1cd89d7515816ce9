#include "launcher/login/qt/artwork.h"

#include <QColor>
#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include "launcher/startup/login_form_design.h"

namespace kx::launcher::qt {
namespace {
const QColor kNavy(0x12, 0x2b, 0x5c);
const QColor kTeal(0x1f, 0x8a, 0x9e);
}  // namespace

QPixmap drawLogo() {
    QPixmap logo(kLogoWidthPixels, kLogoHeightPixels);
    logo.fill(Qt::transparent);
    QPainter painter(&logo);
    painter.setRenderHint(QPainter::Antialiasing);

    // The mark: a rounded square with two crossing strokes.
    const QRectF mark(4, 6, 52, 52);
    QLinearGradient fill(mark.topLeft(), mark.bottomRight());
    fill.setColorAt(0, kTeal);
    fill.setColorAt(1, kNavy);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(mark, 10, 10);
    painter.setPen(QPen(Qt::white, 7, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(18, 20), QPointF(42, 44));
    painter.drawLine(QPointF(42, 20), QPointF(18, 44));

    // The name beside it.
    QFont name(QStringLiteral("Arial"));
    name.setPixelSize(26);
    name.setBold(true);
    painter.setFont(name);
    painter.setPen(kNavy);
    painter.drawText(QRectF(64, 4, 128, 32), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("KX"));
    name.setBold(false);
    name.setPixelSize(20);
    painter.setFont(name);
    painter.setPen(kTeal);
    painter.drawText(QRectF(64, 32, 128, 28), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Vantor"));
    return logo;
}

QPixmap drawRefreshPicture(int size) {
    QPixmap picture(size, size);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal margin = size * 0.18;
    const QRectF circle(margin, margin, size - 2 * margin, size - 2 * margin);
    const qreal stroke = size / 9.0;
    painter.setPen(QPen(kNavy, stroke, Qt::SolidLine, Qt::FlatCap));
    // Three quarters of a circle, with an arrow head at its open end.
    painter.drawArc(circle, 90 * 16, 270 * 16);
    const QPointF tip(circle.center().x(), circle.top());
    const qreal head = size * 0.22;
    const QPolygonF arrow({tip + QPointF(head, 0), tip + QPointF(-head * 0.1, -head * 0.75),
                           tip + QPointF(-head * 0.1, head * 0.75)});
    painter.setPen(Qt::NoPen);
    painter.setBrush(kNavy);
    painter.drawPolygon(arrow);
    return picture;
}

}  // namespace kx::launcher::qt

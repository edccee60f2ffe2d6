#include "desktop/ui/Artwork.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace tarnix {
namespace {

const QColor DeepBlue(16, 52, 98);
const QColor LightBlue(44, 110, 170);
const QColor PulseGreen(120, 220, 120);

QPixmap Transparent(QSize size) {
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

void PaintTile(QPainter& painter, const QRectF& area) {
    QLinearGradient gradient(area.topLeft(), area.bottomLeft());
    gradient.setColorAt(0.0, LightBlue);
    gradient.setColorAt(1.0, DeepBlue);
    const qreal radius = std::min(area.width(), area.height()) * 0.18;
    painter.setPen(Qt::NoPen);
    painter.setBrush(gradient);
    painter.drawRoundedRect(area, radius, radius);
}

// A heartbeat-like trace across the area: flat, a sharp peak, flat again.
void PaintPulse(QPainter& painter, const QRectF& area) {
    const qreal x = area.left();
    const qreal w = area.width();
    const qreal mid = area.center().y();
    const qreal h = area.height();
    const QPolygonF trace({{x, mid},
                           {x + w * 0.35, mid},
                           {x + w * 0.45, mid - h * 0.40},
                           {x + w * 0.55, mid + h * 0.40},
                           {x + w * 0.65, mid},
                           {x + w, mid}});
    QPen pen(PulseGreen, std::max<qreal>(1.5, h * 0.12));
    pen.setJoinStyle(Qt::RoundJoin);
    pen.setCapStyle(Qt::RoundCap);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawPolyline(trace);
}

QPixmap DrawIconPixmap(int side) {
    QPixmap pixmap = Transparent(QSize(side, side));
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF tile(0.5, 0.5, side - 1.0, side - 1.0);
    PaintTile(painter, tile);
    PaintPulse(painter, tile.adjusted(side * 0.12, side * 0.25, -side * 0.12, -side * 0.25));
    return pixmap;
}

} // namespace

QPixmap DrawLogo(QSize size) {
    QPixmap pixmap = Transparent(size);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QRectF area(0.5, 0.5, size.width() - 1.0, size.height() - 1.0);
    PaintTile(painter, area);

    const QRectF pulseArea(area.left() + 3, area.bottom() - area.height() * 0.38, area.width() - 6,
                           area.height() * 0.26);
    PaintPulse(painter, pulseArea);

    QFont font(QStringLiteral("Arial"));
    font.setBold(true);
    font.setPixelSize(std::max(8, static_cast<int>(size.height() * 0.42)));
    painter.setFont(font);
    painter.setPen(Qt::white);
    const QRectF textArea(area.left(), area.top() + 1, area.width(), area.height() * 0.58);
    painter.drawText(textArea, Qt::AlignCenter, QStringLiteral("TARNIX"));
    return pixmap;
}

QIcon ProgramIcon() {
    QIcon icon;
    for (const int side : {16, 22, 32, 48, 64})
        icon.addPixmap(DrawIconPixmap(side));
    return icon;
}

QPixmap DrawProgramIcon(int side) {
    return DrawIconPixmap(side);
}

QPixmap DrawNoticeImage(QSize size) {
    QPixmap pixmap = Transparent(size);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal w = size.width();
    const qreal h = size.height();
    QPainterPath triangle;
    triangle.moveTo(w / 2, 1);
    triangle.lineTo(w - 1, h - 1);
    triangle.lineTo(1, h - 1);
    triangle.closeSubpath();
    painter.setPen(QPen(QColor(120, 80, 0), 1.2));
    painter.setBrush(QColor(250, 200, 40));
    painter.drawPath(triangle);

    QFont font(QStringLiteral("Arial"));
    font.setBold(true);
    font.setPixelSize(std::max(8, static_cast<int>(h * 0.6)));
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QRectF(0, h * 0.25, w, h * 0.75), Qt::AlignCenter, QStringLiteral("!"));
    return pixmap;
}

} // namespace tarnix

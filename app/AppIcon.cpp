#include "app/AppIcon.h"

#include <QPainter>
#include <QPixmap>

namespace korvo {

namespace {

QPixmap DrawIcon(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;

    // Tile.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x1f, 0x5f, 0xa8));
    painter.drawRoundedRect(QRectF(0.5, 0.5, s - 1, s - 1), s * 0.18, s * 0.18);

    // Camera body with its lens.
    painter.setBrush(QColor(0xf2, 0xf4, 0xf7));
    painter.drawRoundedRect(QRectF(s * 0.14, s * 0.32, s * 0.58, s * 0.40), s * 0.06, s * 0.06);
    QPolygonF hood;
    hood << QPointF(s * 0.72, s * 0.44) << QPointF(s * 0.88, s * 0.34) << QPointF(s * 0.88, s * 0.70)
         << QPointF(s * 0.72, s * 0.60);
    painter.drawPolygon(hood);
    painter.setBrush(QColor(0x1f, 0x5f, 0xa8));
    painter.drawEllipse(QPointF(s * 0.43, s * 0.52), s * 0.13, s * 0.13);
    painter.setBrush(QColor(0x7f, 0xd3, 0xff));
    painter.drawEllipse(QPointF(s * 0.43, s * 0.52), s * 0.06, s * 0.06);

    // Signal arcs above the camera (it is reached over the network).
    QPen arc(QColor(0xf2, 0xf4, 0xf7));
    arc.setWidthF(qMax(1.0, s * 0.05));
    arc.setCapStyle(Qt::RoundCap);
    painter.setPen(arc);
    painter.setBrush(Qt::NoBrush);
    for (int i = 1; i <= 2; ++i) {
        const qreal r = s * 0.09 * i;
        painter.drawArc(QRectF(s * 0.43 - r, s * 0.24 - r, 2 * r, 2 * r), 45 * 16, 90 * 16);
    }
    return pixmap;
}

}  // namespace

const QIcon& AppIcon()
{
    static const QIcon icon = []() {
        QIcon built;
        for (int size : {16, 24, 32, 48, 64, 128}) {
            built.addPixmap(DrawIcon(size));
        }
        return built;
    }();
    return icon;
}

}  // namespace korvo

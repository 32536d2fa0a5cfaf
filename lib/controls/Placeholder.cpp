#include "Placeholder.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

QPixmap personPlaceholder(int width, int height, const QColor& accent) {
    QPixmap pm(width, height);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, height);
    sky.setColorAt(0, QColor(0xf4, 0xf6, 0xfa));
    sky.setColorAt(1, QColor(0xd8, 0xde, 0xea));
    p.fillRect(pm.rect(), sky);
    p.setPen(QPen(QColor(0x9a, 0xa4, 0xb8), 2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(1, 1, width - 2, height - 2));

    const double cx = width / 2.0;
    const QColor body = accent.lighter(115);
    p.setPen(Qt::NoPen);
    p.setBrush(body);
    QPainterPath shoulders;
    shoulders.moveTo(cx - width * 0.36, height);
    shoulders.cubicTo(cx - width * 0.36, height * 0.68, cx - width * 0.2, height * 0.62, cx,
                      height * 0.62);
    shoulders.cubicTo(cx + width * 0.2, height * 0.62, cx + width * 0.36, height * 0.68,
                      cx + width * 0.36, height);
    shoulders.closeSubpath();
    p.drawPath(shoulders);
    p.setBrush(accent);
    const double r = std::min(width, height) * 0.17;
    p.drawEllipse(QPointF(cx, height * 0.38), r, r * 1.12);
    p.setPen(QPen(QColor(255, 255, 255, 160), 2));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(cx - r * 0.55, height * 0.38 - r * 0.7, r * 0.6, r * 0.6), 90 * 16, 90 * 16);
    return pm;
}

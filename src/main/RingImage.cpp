#include "RingImage.h"

#include <QPainter>

#include <algorithm>

bool ringIsHot(std::optional<double> percent) {
    return percent && *percent >= 90;
}

QImage ringImage(std::optional<double> percent, const QColor& normal, int pixels) {
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(pixels / 15.0, pixels / 15.0);

    const QColor color = ringIsHot(percent) ? QColor(255, 59, 48) : normal;
    const QRectF ring = QRectF(0, 0, 15, 15).adjusted(1.6, 1.6, -1.6, -1.6);
    QColor track = color;
    track.setAlphaF(0.3f);
    p.setPen(QPen(track, 2.2));
    p.drawEllipse(ring);
    if (percent && *percent > 0) {
        const double share = std::min(*percent, 100.0) / 100.0;
        p.setPen(QPen(color, 2.2, Qt::SolidLine, Qt::RoundCap));
        p.drawArc(ring, 90 * 16, -qRound(360 * 16 * share));
    }
    return image;
}

#include "AppIcon.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace AppIcon {

namespace {

// The icon with its arc over `share` of the ring, drawn at its size: a notice's badge is drawn
// straight at 64 px, not scaled down from 1024.
QImage drawIcon(double share, int pixels = 1024) {
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return image;
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(pixels / 1024.0, pixels / 1024.0);

    // A rounded square with a 100 px transparent margin, shaded from top to bottom.
    QPainterPath square;
    square.addRoundedRect(QRectF(100, 100, 824, 824), 185, 185);
    QLinearGradient shade(0, 100, 0, 924);
    shade.setColorAt(0, QColor::fromRgbF(0.85f, 0.46f, 0.36f));
    shade.setColorAt(1, QColor::fromRgbF(0.60f, 0.29f, 0.22f));
    p.fillPath(square, shade);

    // The track, then the share of the ring from twelve o'clock clockwise.
    const QRectF ring(512 - 230, 512 - 230, 460, 460);
    QColor track(255, 255, 255);
    track.setAlphaF(0.28f);
    p.setPen(QPen(track, 70));
    p.drawEllipse(ring);
    p.setPen(QPen(Qt::white, 70, Qt::SolidLine, Qt::RoundCap));
    if (share > 0)
        p.drawArc(ring, 90 * 16, -qRound(360 * 16 * share));
    return image;
}

} // namespace

QImage image(int pixels) {
    return drawIcon(0.68, pixels); // 244.8 degrees
}

QImage badge(double percent, int pixels) {
    return drawIcon(std::clamp(percent, 0.0, 100.0) / 100, pixels);
}

} // namespace AppIcon

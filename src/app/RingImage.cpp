#include "RingImage.h"

#include "usage/Level.h"
#include "usage/Percent.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kGrid = 15;   // the ring is drawn on a 15-unit square
constexpr double kInset = 1.6; // from the square's edge to the ring's centre line
constexpr double kLine = 2.2;  // the ring's width
constexpr double kInside = kGrid - 2 * kInset - kLine; // the hole's diameter

// The session percentage in the middle of the ring, as big as the hole allows: two digits
// are narrowed to fit side by side, which keeps them tall enough to read at 16 pixels. A
// halo of the opposite lightness keeps them readable on a panel of either kind, whichever
// the palette guessed.
void drawNumber(QPainter& p, const QString& text, const QColor& color, int pixels) {
    const double hole = kInside * pixels / kGrid;
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    font.setPixelSize(std::max(6, int(std::lround(hole))));
    QPainterPath digit, path;
    digit.addText(0, 0, font, QStringLiteral("0"));
    path.addText(0, 0, font, text);
    // Sized by the height of a digit, so that "-" and "!" sit where digits would.
    const QRectF tallest = digit.boundingRect(), box = path.boundingRect();
    const double scale = hole * 0.72 / tallest.height();
    QTransform t;
    t.translate(pixels / 2.0, pixels / 2.0);
    t.scale(std::min(scale, hole * 0.86 / box.width()), scale);
    t.translate(-box.center().x(), -tallest.center().y());
    path = t.map(path);
    // Narrowed digits lose weight: a stroke of their own colour gives it back.
    const double weight = pixels / 28.0;
    QColor halo = color.lightness() > 128 ? QColor(0, 0, 0) : QColor(255, 255, 255);
    halo.setAlphaF(0.85f);
    p.setPen(QPen(halo, weight + std::max(1.5, pixels / 11.0), Qt::SolidLine, Qt::RoundCap,
                  Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
    p.setPen(QPen(color, weight, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(color);
    p.drawPath(path);
}

} // namespace

QColor ringColor(std::optional<double> percent, DesktopLook::Ink ink) {
    const bool lightPanel = ink == DesktopLook::Ink::Dark;
    switch (percent ? levelOf(*percent) : Level::Normal) {
    case Level::Normal:
        return inkColor(ink);
    case Level::Warn:
        return lightPanel ? QColor(156, 88, 0) : QColor(222, 140, 20);
    default:
        return lightPanel ? QColor(196, 28, 22) : QColor(255, 69, 58);
    }
}

QString ringNumber(std::optional<double> percent) {
    if (!percent)
        return QStringLiteral("-");
    return levelOf(*percent) == Level::Reached ? QStringLiteral("!") : roundedPercent(*percent);
}

QColor inkColor(DesktopLook::Ink ink) {
    return ink == DesktopLook::Ink::Dark ? QColor(0, 0, 0) : QColor(255, 255, 255);
}

QImage ringImage(std::optional<double> percent, DesktopLook::Ink ink, int pixels, bool number) {
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.save();
    p.scale(pixels / kGrid, pixels / kGrid);
    const QColor color = ringColor(percent, ink);
    const QRectF ring = QRectF(0, 0, kGrid, kGrid).adjusted(kInset, kInset, -kInset, -kInset);
    const double share = percent && *percent > 0 ? std::min(*percent, 100.0) / 100.0 : 0;
    const auto arc = [&](const QPen& pen) {
        p.setPen(pen);
        p.drawArc(ring, 90 * 16, -qRound(360 * 16 * share));
    };
    if (ink == DesktopLook::Ink::Outlined) {
        // Where nothing says what the panel is: a dark edge around light ink reads on both.
        const double edge = std::max(0.9, 15.0 / pixels);
        p.setPen(QPen(QColor(0, 0, 0, 150), kLine + 2 * edge));
        p.drawEllipse(ring);
        if (share > 0)
            arc(QPen(QColor(0, 0, 0, 230), kLine + 2 * edge, Qt::SolidLine, Qt::RoundCap));
    }
    // Half the ink: 3:1 against light and dark panels alike, and still apart from the arc.
    QColor track = color;
    track.setAlphaF(0.5f);
    p.setPen(QPen(track, kLine));
    p.drawEllipse(ring);
    if (share > 0)
        arc(QPen(color, kLine, Qt::SolidLine, Qt::RoundCap));
    p.restore();
    if (number)
        drawNumber(p, ringNumber(percent), inkColor(ink), pixels);
    return image;
}

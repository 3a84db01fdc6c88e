#include "Render.h"

#include "main/Entry.h"
#include "platform/Files.h"
#include "prefs/Prefs.h"
#include "store/UsageStore.h"
#include "views/Fit.h"
#include "views/PopoverView.h"
#include "views/Theme.h"
#include "views/WidgetView.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

namespace Render {

namespace {

constexpr int kMargin = 24;
constexpr qreal kScale = 2;

void writePng(const QImage& image, const QString& path) {
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG"))
        return;
    // Written whole or not at all: a missing folder leaves nothing behind.
    Files::write(path, png);
}

} // namespace

void snapshot(QWidget* view, bool dark, const QString& path) {
    view->setPalette(dark ? Theme::dark() : Theme::light());
    fitToContent(view);
    const QSize size = view->size() + QSize(2 * kMargin, 2 * kMargin);
    QImage image(size * kScale, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return;
    image.setDevicePixelRatio(kScale);
    // Tell viewers the density, so the picture opens at its size in points.
    image.setDotsPerMeterX(int(72 * kScale / 0.0254));
    image.setDotsPerMeterY(int(72 * kScale / 0.0254));
    image.fill(QColor::fromRgbF(dark ? 0.12f : 0.86f, dark ? 0.12f : 0.86f, dark ? 0.12f : 0.86f));
    {
        QPainter painter(&image);
        view->render(&painter, QPoint(kMargin, kMargin), QRegion(), QWidget::DrawChildren);
    }
    writePng(image, path);
}

QImage iconImage() {
    QImage image(1024, 1024, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return image;
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    // A rounded square with a 100 px transparent margin, shaded from top to bottom.
    QPainterPath square;
    square.addRoundedRect(QRectF(100, 100, 824, 824), 185, 185);
    QLinearGradient shade(0, 100, 0, 924);
    shade.setColorAt(0, QColor::fromRgbF(0.85f, 0.46f, 0.36f));
    shade.setColorAt(1, QColor::fromRgbF(0.60f, 0.29f, 0.22f));
    p.fillPath(square, shade);

    // The track, then 68 % of the ring from twelve o'clock clockwise.
    const QRectF ring(512 - 230, 512 - 230, 460, 460);
    QColor track(255, 255, 255);
    track.setAlphaF(0.28f);
    p.setPen(QPen(track, 70));
    p.drawEllipse(ring);
    p.setPen(QPen(Qt::white, 70, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(ring, 90 * 16, -qRound(244.8 * 16));
    return image;
}

void makeIcon(const QString& path) {
    const QImage image = iconImage();
    if (!image.isNull())
        writePng(image, path);
}

void snapshotMode(const QString& folder) {
    UsageStore store;
    store.loadSample(Entry::sampleText());
    Prefs prefs;
    for (const bool dark : {false, true}) {
        const QString word = dark ? QStringLiteral("dark") : QStringLiteral("light");
        WidgetView card(&store);
        snapshot(&card, dark, folder + QStringLiteral("/widget-") + word + QStringLiteral(".png"));
        PopoverView popover(&store, &prefs);
        snapshot(&popover, dark,
                 folder + QStringLiteral("/popover-") + word + QStringLiteral(".png"));
    }
}

} // namespace Render

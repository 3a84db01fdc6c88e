#include "Bar.h"

#include "Palette.h"
#include "Theme.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

Bar::Bar(QWidget* parent)
    : QWidget(parent) {
    setFixedHeight(kHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void Bar::setPercent(double percent) {
    percent_ = percent;
    update();
}

void Bar::setPace(std::optional<double> share) {
    pace_ = share;
    update();
}

std::optional<qreal> Bar::fillWidth(qreal available, double percent) {
    if (!(percent > 0))
        return std::nullopt; // zero, negative and NaN show the track alone
    return std::max(kMinimumFill, available * std::min(100.0, percent) / 100.0);
}

void Bar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    const qreal h = height(), r = h / 2;
    p.setBrush(Theme::primary(palette(), 0.12));
    p.drawRoundedRect(QRectF(0, 0, width(), h), r, r);
    if (const auto w = fillWidth(width(), percent_)) {
        p.setBrush(Palette::color(percent_));
        p.drawRoundedRect(QRectF(0, 0, *w, h), r, r);
    }
    if (pace_) {
        // Inside the bar's own height, in the text's colour: it reads on the track and on
        // the fill, in light and dark alike.
        const qreal x = std::clamp(*pace_ * width(), 1.0, width() - 1.0);
        p.setBrush(Theme::primary(palette(), 0.7));
        p.drawRoundedRect(QRectF(x - 1, 0, 2, h), 1, 1);
    }
}

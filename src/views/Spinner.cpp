#include "Spinner.h"

#include "Theme.h"

#include <QPainter>

namespace {
constexpr int kSpokes = 8;
}

Spinner::Spinner(QWidget* parent)
    : QWidget(parent) {
    setFixedSize(sizeHint());
    timer_.setInterval(100);
    connect(&timer_, &QTimer::timeout, this, [this] {
        step_ = (step_ + 1) % kSpokes;
        update();
    });
}

void Spinner::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(width() / 2.0, height() / 2.0);
    const qreal outer = std::min(width(), height()) / 2.0 - 1;
    for (int i = 0; i < kSpokes; ++i) {
        // The newest spoke is darkest; the others fade behind it.
        const int age = (step_ - i + kSpokes) % kSpokes;
        QPen pen(Theme::primary(palette(), 0.7 - 0.075 * age), 1.8, Qt::SolidLine, Qt::RoundCap);
        p.setPen(pen);
        p.save();
        p.rotate(360.0 / kSpokes * i);
        p.drawLine(QPointF(0, -outer * 0.45), QPointF(0, -outer));
        p.restore();
    }
}

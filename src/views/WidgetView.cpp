#include "WidgetView.h"

#include "Theme.h"
#include "UsageContent.h"

#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

void VisualEffect::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QColor fill = Theme::cardFill(palette());
    if (dense)
        fill.setAlpha(250);
    // A faint top-down sheen keeps the surface from looking flat.
    QLinearGradient g(0, 0, 0, height());
    g.setColorAt(0, fill.lighter(Theme::isDark(palette()) ? 112 : 101));
    g.setColorAt(1, fill);
    // Clipped to the card's rounded shape, with smooth edges.
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), radius_, radius_);
    p.fillPath(shape, g);
}

WidgetView::WidgetView(UsageStore* store, QWidget* parent)
    : QWidget(parent) {
    setFixedWidth(kWidth);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    background_ = new VisualEffect(kRadius, this);
    background_->lower();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kPadding, kPadding, kPadding, kPadding);
    content_ = new UsageContent(store, false, this);
    layout->addWidget(content_);
}

void WidgetView::setDense(bool dense) {
    background_->dense = dense;
    background_->update();
}

void WidgetView::resizeEvent(QResizeEvent*) {
    background_->setGeometry(rect());
}

void WidgetView::paintEvent(QPaintEvent*) {
    // The border: 1 px of white at 12 %, drawn wholly inside the clip.
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QColor border(255, 255, 255);
    border.setAlphaF(0.12f);
    p.setPen(QPen(border, 1, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), kRadius - 0.5, kRadius - 0.5);
}

#include "RefreshButton.h"

#include "Theme.h"

#include <QPainter>
#include <QPainterPath>

RefreshButton::RefreshButton(QWidget* parent)
    : QAbstractButton(parent) {
    setFixedSize(sizeHint());
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setToolTip(QStringLiteral("Refresh now"));
    setAccessibleName(QStringLiteral("Refresh now"));
}

void RefreshButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QPalette& pal = palette();
    if (isEnabled() && (underMouse() || hasFocus())) {
        p.setPen(Qt::NoPen);
        p.setBrush(Theme::primary(pal, 0.08));
        p.drawRoundedRect(rect(), 5, 5);
    }
    QColor color = Theme::tone(pal, Theme::Tone::Secondary);
    if (!isEnabled())
        color.setAlphaF(color.alphaF() * 0.45f);
    // An open ring from twelve o'clock round anticlockwise to two, with an arrowhead at the
    // top pointing clockwise. One path, filled once, so the overlap does not darken.
    const QPointF c(width() / 2.0, height() / 2.0);
    const qreal r = 4.8;
    QPainterPath arc;
    arc.arcMoveTo(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r), 90);
    arc.arcTo(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r), 90, 290);
    QPainterPathStroker stroker;
    stroker.setWidth(1.7);
    stroker.setCapStyle(Qt::RoundCap);
    QPainterPath shape = stroker.createStroke(arc);
    const QPointF top(c.x(), c.y() - r);
    QPainterPath head;
    head.moveTo(top + QPointF(3.3, 0));
    head.lineTo(top + QPointF(-0.8, -3.1));
    head.lineTo(top + QPointF(-0.8, 3.1));
    head.closeSubpath();
    shape = shape.united(head);
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawPath(shape);
}

#include "LinkButton.h"

#include <QFontMetrics>
#include <QPainter>

LinkButton::LinkButton(const QString& text, int pixelSize, QFont::Weight weight, Theme::Tone tone,
                       QWidget* parent)
    : QAbstractButton(parent)
    , tone_(tone) {
    setText(text);
    setFont(Theme::font(pixelSize, weight));
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setAccessibleName(text);
}

QSize LinkButton::sizeHint() const {
    const QFontMetrics m(font());
    return {m.horizontalAdvance(text()), m.height()};
}

void LinkButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::TextAntialiasing);
    QColor c = Theme::tone(palette(), tone_);
    if (underMouse() || isDown())
        c = c.alpha() < 255 ? Theme::tone(palette(), Theme::Tone::Primary) : c.darker(115);
    p.setPen(c);
    QFont f = font();
    f.setUnderline(hasFocus());
    p.setFont(f);
    p.drawText(rect(), int(alignment_), text());
}

#include "WrapLabel.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QPainter>
#include <QTextLayout>

#include <cmath>

namespace {

// The text as QTextLayout takes it: a line feed ends a line only as U+2028.
QString layoutText(QString text) {
    return text.replace(u'\n', QChar::LineSeparator);
}

// Lays the text out in lines of a width; returns their height.
qreal linesOf(QTextLayout& layout, qreal width) {
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.setCacheEnabled(true);
    qreal height = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(std::max<qreal>(width, 1));
        line.setPosition(QPointF(0, height));
        height += line.height();
    }
    layout.endLayout();
    return height;
}

// Lays the text out at a width; returns the height of its lines. A short text that wraps is
// balanced, its lines of about equal length, so that no word is left alone on the last one:
// the narrowest width that keeps its number of lines.
qreal layOut(QTextLayout& layout, qreal width) {
    const qreal height = linesOf(layout, width);
    const int count = layout.lineCount();
    if (count < 2 || count > 4)
        return height;
    qreal fits = width, tooNarrow = width / 2;
    while (fits - tooNarrow > 2) {
        const qreal middle = (fits + tooNarrow) / 2;
        linesOf(layout, middle);
        (layout.lineCount() == count ? fits : tooNarrow) = middle;
    }
    linesOf(layout, fits);
    return height;
}

} // namespace

WrapLabel::WrapLabel(int pixelSize, QFont::Weight weight, Theme::Tone tone, QWidget* parent)
    : QWidget(parent)
    , tone_(tone) {
    setFont(Theme::font(pixelSize, weight));
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void WrapLabel::setText(const QString& text) {
    if (text == text_)
        return;
    text_ = text;
    setAccessibleName(text); // what a screen reader reads, as a QLabel's
    updateGeometry();
    update();
}

void WrapLabel::setTone(Theme::Tone tone) {
    tone_ = tone;
    update();
}

QColor WrapLabel::color() const {
    return Theme::tone(palette(), tone_);
}

QStringList WrapLabel::lines(const QString& text, const QFont& font, qreal width) {
    QTextLayout layout(layoutText(text), font);
    layOut(layout, width);
    QStringList out;
    for (int i = 0; i < layout.lineCount(); ++i) {
        const QTextLine line = layout.lineAt(i);
        out << text.mid(line.textStart(), line.textLength());
    }
    return out;
}

int WrapLabel::heightForWidth(int width) const {
    QTextLayout layout(layoutText(text_), font());
    return int(std::ceil(layOut(layout, width)));
}

QSize WrapLabel::sizeHint() const {
    // As wide as the text on one line, up to a panel's width; as tall as it then needs.
    const int width = std::min(fontMetrics().horizontalAdvance(text_) + 1, 268);
    return {width, heightForWidth(width)};
}

QSize WrapLabel::minimumSizeHint() const {
    return {0, fontMetrics().height()};
}

void WrapLabel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setPen(color());
    QTextLayout layout(layoutText(text_), font());
    layOut(layout, width());
    layout.draw(&p, QPointF(0, 0));
}

void WrapLabel::contextMenuEvent(QContextMenuEvent* e) {
    if (!copyable_ || text_.isEmpty())
        return QWidget::contextMenuEvent(e);
    QMenu menu;
    menu.addAction(QStringLiteral("Copy"), this,
                   [this] { QGuiApplication::clipboard()->setText(text_); });
    menu.exec(e->globalPos());
}

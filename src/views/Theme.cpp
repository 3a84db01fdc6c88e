#include "Theme.h"

#include <QApplication>

namespace Theme {

bool isDark(const QPalette& palette) {
    return palette.color(QPalette::Window).lightness() < 128;
}

namespace {

QPalette make(const QColor& window, const QColor& text, const QColor& base, const QColor& button,
              const QColor& placeholder) {
    QPalette p;
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        p.setColor(group, QPalette::Window, window);
        p.setColor(group, QPalette::WindowText, text);
        p.setColor(group, QPalette::Base, base);
        p.setColor(group, QPalette::Text, text);
        p.setColor(group, QPalette::Button, button);
        p.setColor(group, QPalette::ButtonText, text);
        p.setColor(group, QPalette::ToolTipBase, base);
        p.setColor(group, QPalette::ToolTipText, text);
        p.setColor(group, QPalette::PlaceholderText, placeholder); // 4.5:1 on the base
    }
    QColor faint = text;
    faint.setAlphaF(0.35f);
    p.setColor(QPalette::Disabled, QPalette::Window, window);
    p.setColor(QPalette::Disabled, QPalette::WindowText, faint);
    p.setColor(QPalette::Disabled, QPalette::Text, faint);
    p.setColor(QPalette::Disabled, QPalette::ButtonText, faint);
    p.setColor(QPalette::Disabled, QPalette::Button, button);
    return p;
}

} // namespace

QPalette light() {
    return make(QColor(246, 246, 246), Qt::black, Qt::white, QColor(236, 236, 236),
                QColor(112, 112, 112));
}
QPalette dark() {
    return make(QColor(40, 40, 42), Qt::white, QColor(30, 30, 30), QColor(60, 60, 62),
                QColor(150, 150, 150));
}

QColor tone(const QPalette& palette, Tone t) {
    const bool d = isDark(palette);
    QColor c = d ? Qt::white : Qt::black;
    switch (t) {
    case Tone::Primary:
        c.setAlphaF(d ? 0.92f : 0.88f);
        break;
    case Tone::Secondary:
        c.setAlphaF(d ? 0.68f : 0.62f);
        break;
    case Tone::Tertiary:
        c.setAlphaF(d ? 0.63f : 0.57f);
        break;
    case Tone::Warn:
        return d ? QColor(235, 165, 58) : QColor(133, 84, 0);
    case Tone::Accent:
        return d ? QColor(237, 158, 138) : QColor(147, 68, 48);
    }
    return c;
}

QColor primary(const QPalette& palette, qreal opacity) {
    QColor c = isDark(palette) ? Qt::white : Qt::black;
    c.setAlphaF(float(opacity));
    return c;
}

QColor panelFill(const QPalette& palette) {
    return isDark(palette) ? QColor(40, 40, 42) : QColor(246, 246, 246);
}

QColor cardFill(const QPalette& palette) {
    return isDark(palette) ? QColor(46, 46, 48, 228) : QColor(250, 250, 250, 228);
}

QString menuSheet(const QPalette& palette) {
    const QString frame = primary(palette, 0.18).name(QColor::HexArgb);
    return QStringLiteral(
               "QMenu { background: %1; border: 1px solid %2; padding: 5px 0; }"
               "QMenu::item { padding: 6px 30px 6px 28px; color: %3; background: transparent; }"
               "QMenu::item:selected { background: %4; }"
               "QMenu::separator { height: 1px; background: %2; margin: 5px 10px; }"
               "QMenu::indicator { width: 12px; height: 12px; left: 9px; }")
        .arg(panelFill(palette).name(), frame, tone(palette, Tone::Primary).name(QColor::HexArgb),
             primary(palette, 0.10).name(QColor::HexArgb));
}

QFont font(int pixelSize, QFont::Weight weight) {
    QFont f = QApplication::font();
    f.setPixelSize(pixelSize);
    f.setWeight(weight);
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

} // namespace Theme

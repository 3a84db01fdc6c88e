#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>

class QWidget;

// Light and dark appearance: the label tones, the surfaces, and the fonts, all in
// device-independent pixels.
namespace Theme {

enum class Tone { Primary, Secondary, Tertiary };

bool isDark(const QPalette& palette);
QPalette light();
QPalette dark();

// Text colour of a tone in this palette's appearance.
QColor tone(const QPalette& palette, Tone t);
// The primary colour at some opacity (tracks, dividers).
QColor primary(const QPalette& palette, qreal opacity);
// The popover's surface and the card's translucent fill.
QColor panelFill(const QPalette& palette);
QColor cardFill(const QPalette& palette);

// The application font at a pixel size and weight.
QFont font(int pixelSize, QFont::Weight weight = QFont::Normal);

} // namespace Theme

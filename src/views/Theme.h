#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>

class QWidget;

// Light and dark appearance: the label tones, the surfaces, and the fonts, all in
// device-independent pixels.
namespace Theme {

// Every tone has a contrast of at least 4.5:1 with the panel and the card, light and dark.
// Warn and Accent are the palette's amber and terracotta, darkened on light surfaces and
// lightened on dark ones: the bars' own shades are too faint for text.
enum class Tone { Primary, Secondary, Tertiary, Warn, Accent };

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

// A menu's look in this palette, with the padding of the desktop's own menus.
QString menuSheet(const QPalette& palette);

// The application font at a pixel size and weight.
QFont font(int pixelSize, QFont::Weight weight = QFont::Normal);

} // namespace Theme

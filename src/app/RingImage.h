#pragma once

#include "platform/DesktopLook.h"

#include <QColor>
#include <QImage>
#include <QString>

#include <optional>

// The tray's ring: a faint track and an arc that fills clockwise from twelve o'clock with
// the percentage. Drawn on a 15-point grid scaled to `pixels`, in the ink that stands out on
// the host panel below 80 %, then amber, and red from 95 % (the bars' levels). With `number`,
// the percentage is in the middle, for panels that draw no text beside the icon.
QImage ringImage(std::optional<double> percent, DesktopLook::Ink ink, int pixels,
                 bool number = false);

// The ink's own colour: black, or white (an outlined ring is white inside its dark edge).
QColor inkColor(DesktopLook::Ink ink);

// What the middle of the ring says: the rounded percentage, "!" from 100, "-" for none.
QString ringNumber(std::optional<double> percent);

// The colour of the ring's arc and track for a percentage, on a panel that takes this ink:
// the ink below 80 %, then amber, and red from 95 %, each at 3:1 or more against the panel
// (darker on a light one).
QColor ringColor(std::optional<double> percent, DesktopLook::Ink ink);

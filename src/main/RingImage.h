#pragma once

#include <QColor>
#include <QImage>

#include <optional>

// The tray's ring: a faint track and an arc that fills clockwise from twelve o'clock with
// the percentage. Drawn on a 15-point grid scaled to `pixels`; red from 90 %, otherwise in
// `normal` (the panel's text colour).
QImage ringImage(std::optional<double> percent, const QColor& normal, int pixels);

// Whether the ring is drawn red.
bool ringIsHot(std::optional<double> percent);

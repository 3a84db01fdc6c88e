#pragma once

#include <QImage>

// The application's icon: a ring on a rounded square, shaded top to bottom.
namespace AppIcon {

// At 1024 x 1024, its ring two-thirds full: the icon of the launcher and the theme.
QImage image();
// At `pixels`, its ring filled to a percentage: a notification's picture.
QImage badge(double percent, int pixels);

} // namespace AppIcon

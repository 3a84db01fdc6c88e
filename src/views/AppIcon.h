#pragma once

#include <QImage>

// The application's icon: a ring on a rounded square, shaded top to bottom.
namespace AppIcon {

// Its ring two-thirds full: the icon of the launcher, the theme and the app's windows.
QImage image(int pixels = 1024);
// At `pixels`, its ring filled to a percentage: a notification's picture.
QImage badge(double percent, int pixels);

} // namespace AppIcon

#pragma once

#include <QString>

class QImage;
class QWidget;

// Drawing views and the icon into PNG files without showing anything. Failures are silent
// and leave no file.
namespace Render {

// The view in the light or dark appearance on a grey backdrop with a 24 px margin, at
// twice the pixel density.
void snapshot(QWidget* view, bool dark, const QString& path);

// The 1024 x 1024 application icon: a ring on a rounded square.
void makeIcon(const QString& path);
QImage iconImage();
// The icon at `pixels`, its ring filled to a percentage: a notification's picture.
QImage badge(double percent, int pixels);

// --snapshot: the card and the panel over the sample usage, light then dark, into folder
// ("widget-light.png", "popover-light.png", "widget-dark.png", "popover-dark.png"). With
// allStates, then the same for the other states a person may find them in
// ("widget-loading-light.png", ...: loading, error, failed, and with days of history whose
// pace runs out before the reset ("-pace") or is calm ("-calm")).
void snapshotMode(const QString& folder, bool allStates = false);

} // namespace Render

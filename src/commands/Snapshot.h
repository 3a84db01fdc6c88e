#pragma once

#include <QString>

class QImage;
class QWidget;

// --snapshot FOLDER [--all-states]: the views drawn into PNG files without showing anything.
// Failures are silent and leave no file.
namespace SnapshotCommand {

// The view in the light or dark appearance on a grey backdrop with a 24 px margin, at
// twice the pixel density.
void snapshot(QWidget* view, bool dark, const QString& path);

// A PNG file written whole or not at all.
void writePng(const QImage& image, const QString& path);

// The card and the panel over the sample usage, light then dark, into folder
// ("widget-light.png", "popover-light.png", "widget-dark.png", "popover-dark.png"). With
// allStates, then the same for the other states a person may find them in
// ("widget-loading-light.png", ...: loading, error, failed, and with days of history whose
// pace runs out before the reset ("-pace") or is calm ("-calm")).
void run(const QString& folder, bool allStates = false);

} // namespace SnapshotCommand

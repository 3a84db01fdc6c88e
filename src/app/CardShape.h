#pragma once

class QWidget;

// Rounded windows: with a compositor the transparent corners blend with the desktop;
// without one they would be black, so the window is cut to its rounded shape instead.
namespace CardShape {
void apply(QWidget* window, double radius);
}

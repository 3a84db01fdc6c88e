#pragma once

class QWindow;

// What the desktop card asks of an X11 window manager. Everything is a no-op off X11.
namespace WindowHints {

// On every workspace, and in no taskbar or pager. Call on the created, unmapped window.
void makeDesktopCard(QWindow* window);

// Whether a compositing manager runs (translucent windows then blend with the desktop).
bool hasCompositor();

} // namespace WindowHints

#pragma once

#include <optional>

class QWindow;

// What the desktop card asks of an X11 window manager. Everything is a no-op off X11.
namespace WindowHints {

// On every workspace, and in no taskbar or pager. Call on the created, unmapped window.
void makeDesktopCard(QWindow* window);

// Whether a compositing manager runs (translucent windows then blend with the desktop).
bool hasCompositor();

// Whether an XEmbed system tray (a _NET_SYSTEM_TRAY_S0 manager) runs; false off X11.
bool systemTrayPresent();

// Whether a mouse button is held down now, as the X server sees it (a window manager that
// carries out a drag keeps the button to itself); nothing off X11.
std::optional<bool> buttonHeld();

} // namespace WindowHints

#pragma once

#include <optional>

class QRegion;
class QWindow;

// What the app's windows ask of an X11 window manager. Everything is a no-op off X11.
namespace WindowHints {

// In no taskbar or pager: the panel, which is shown and hidden often (the state goes when a
// window is hidden), so before each showing. Call on the created, unmapped window.
void keepOutOfTaskbars(QWindow* window);

// The card: that, and on every workspace. Call on the created, unmapped window.
void makeDesktopCard(QWindow* window);
// Once shown: on every workspace again, as a request to the window manager. KWin decides a
// new window's workspace itself and keeps to it, whatever the window asked before it mapped.
void showOnAllDesktops(QWindow* window);

// Whether the window manager blurs what is behind a window that asks (KWin's blur effect), and
// the asking: behind this area of the window (its rounded shape), or nowhere when empty.
bool offersBlur();
void blurBehind(QWindow* window, const QRegion& area);

// Whether a compositing manager runs (translucent windows then blend with the desktop).
bool hasCompositor();

// Whether an XEmbed system tray (a _NET_SYSTEM_TRAY_S0 manager) runs; false off X11.
bool systemTrayPresent();

// Whether a mouse button is held down now, as the X server sees it (a window manager that
// carries out a drag keeps the button to itself); nothing off X11.
std::optional<bool> buttonHeld();

} // namespace WindowHints

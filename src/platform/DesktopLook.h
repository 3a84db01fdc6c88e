#pragma once

#include <QString>

#include <optional>

// How the desktop looks, from what it publishes: whether its panel (the host panel, where the
// tray is) is dark, so that the ring's ink stands out on it, and whether it prefers dark
// applications, so that the app's own panel and card follow. Plain decisions on clues; the
// clues are gathered by DesktopLookWatcher.
namespace DesktopLook {

struct Clues {
    QString ringInk;                       // the "ringInk" setting: "light", "dark", else automatic
    QString desktop;                       // XDG_CURRENT_DESKTOP
    std::optional<bool> portalDark;        // the portal's org.freedesktop.appearance color-scheme
    QString gtkTheme;                      // XSETTINGS Net/ThemeName
    std::optional<bool> xfceHostPanelDark; // xfconf: xfce4-panel /panels/dark-mode
    QString plasmaTheme;                   // plasmarc [Theme] name: the style of Plasma's panel
    std::optional<bool> kdeColorsDark;     // kdeglobals [Colors:Window] BackgroundNormal
    friend bool operator==(const Clues&, const Clues&) = default;
};

// The ring's ink: dark for a light panel, light for a dark one, or outlined so that it reads
// on either, when nothing says which the panel is.
enum class Ink { Dark, Light, Outlined };
Ink ringInk(const Clues& clues);

// Whether the app's own panel and card take their dark look.
bool prefersDark(const Clues& clues);

// Whether the host's Activate(x, y) names a point on the screen. Waybar (on sway) gives a point
// inside its own tray widget instead.
bool givesScreenPoints(const QString& desktop);

// The Qt platform for the tray application where the person has chosen none: on sway, Wayland
// itself, since sway places the app's windows when asked over its socket ("wayland;xcb": X11
// through XWayland where Qt has no Wayland plugin); elsewhere X11 through XWayland whenever
// there is a display, since KDE Plasma and GNOME place no window of a Wayland client where it
// asks (a panel by the tray, a card kept below). Empty: let Qt choose.
QString qtPlatform(const QString& desktop, bool hasX11Display, bool hasWaylandDisplay);

// Whether the tray's host is GNOME Shell's AppIndicator extension (GNOME, Ubuntu, Unity): it
// draws an item's label beside its icon, and opens an exported menu on a left click.
bool isAppIndicatorHost(const QString& desktop);

} // namespace DesktopLook

#include "DesktopLook.h"

#include <QStringList>

namespace DesktopLook {

namespace {

bool names(const QString& desktop, std::initializer_list<const char*> any) {
    for (const QString& d : desktop.split(u':', Qt::SkipEmptyParts))
        for (const char* name : any)
            if (d.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
                return true;
    return false;
}

bool isDarkTheme(const QString& name) {
    return name.endsWith(u"-dark", Qt::CaseInsensitive);
}

} // namespace

bool givesScreenPoints(const QString& desktop) {
    return !names(desktop, {"sway"});
}

QString qtPlatform(const QString& desktop, bool hasX11Display, bool hasWaylandDisplay) {
    if (hasWaylandDisplay && names(desktop, {"sway"}))
        return QStringLiteral("wayland;xcb");
    return hasX11Display ? QStringLiteral("xcb") : QString();
}

bool isAppIndicatorHost(const QString& desktop) {
    return names(desktop, {"GNOME", "ubuntu", "Unity"});
}

Ink ringInk(const Clues& c) {
    if (c.ringInk == u"light")
        return Ink::Light;
    if (c.ringInk == u"dark")
        return Ink::Dark;
    // GNOME Shell's top bar is dark in every theme.
    if (isAppIndicatorHost(c.desktop))
        return Ink::Light;
    // XFCE's panel is dark when told to be, or when the whole theme is.
    if (names(c.desktop, {"XFCE"}) && c.xfceHostPanelDark) {
        return *c.xfceHostPanelDark || isDarkTheme(c.gtkTheme) ? Ink::Light : Ink::Dark;
    }
    // Plasma's panel has a style of its own (Breeze Dark under light windows makes Breeze
    // Twilight); Breeze itself takes the colour scheme's colours.
    if (names(c.desktop, {"KDE"})) {
        if (c.plasmaTheme.contains(u"dark", Qt::CaseInsensitive))
            return Ink::Light;
        return c.kdeColorsDark.value_or(false) ? Ink::Light : Ink::Dark;
    }
    if (c.portalDark.value_or(false) || isDarkTheme(c.gtkTheme))
        return Ink::Light;
    return Ink::Outlined; // a panel of its own colours (Waybar, a theme that says nothing)
}

bool prefersDark(const Clues& c) {
    if (c.portalDark)
        return *c.portalDark;
    if (names(c.desktop, {"KDE"}) && c.kdeColorsDark)
        return *c.kdeColorsDark;
    return isDarkTheme(c.gtkTheme);
}

} // namespace DesktopLook

#pragma once

#include <QColor>
#include <QPalette>
#include <QString>

// Only GNOME Shell's AppIndicator extension (GNOME, Unity, Ubuntu) draws an item's label
// beside its icon; other panels show the icon and the tooltip.
inline bool desktopDrawsLabels(const QString& currentDesktop) {
    for (const QString& desktop : currentDesktop.split(u':', Qt::SkipEmptyParts))
        for (const char* name : {"GNOME", "Unity", "ubuntu"})
            if (desktop.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
                return true;
    return false;
}

// The colour of text on the desktop's panel, for the tray ring. GNOME Shell's top bar is
// dark in every theme, so there it is white; elsewhere the panel follows the desktop's
// colour scheme, which Qt's palette reports.
inline QColor panelTextColor(const QString& currentDesktop, const QPalette& palette) {
    for (const QString& desktop : currentDesktop.split(u':', Qt::SkipEmptyParts))
        if (desktop.compare(u"GNOME", Qt::CaseInsensitive) == 0 ||
            desktop.compare(u"ubuntu", Qt::CaseInsensitive) == 0)
            return Qt::white;
    return palette.color(QPalette::WindowText);
}

#pragma once

#include <QColor>
#include <QPalette>
#include <QString>

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

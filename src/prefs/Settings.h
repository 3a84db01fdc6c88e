#pragma once

#include <QSettings>

// The user's settings file: $XDG_CONFIG_HOME/Brimwatch/Brimwatch.conf.
inline QSettings appSettings() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Brimwatch"),
                     QStringLiteral("Brimwatch"));
}

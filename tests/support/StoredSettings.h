#pragma once

#include "prefs/Settings.h"

#include <QSettings>

// The settings file as it is on disk, past what the app keeps in memory.
inline QSettings storedSettings() {
    return QSettings(Settings::path(), QSettings::IniFormat);
}

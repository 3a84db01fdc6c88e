#pragma once

#include <QString>

// Where each file Brimwatch reads or writes lives: the one place that spells their names.
// The folders follow the XDG base directories (through QStandardPaths), so a test's HOME or
// XDG_* variables move them all.
namespace Paths {

QString supportDir();        // the app's data folder: $XDG_DATA_HOME/Brimwatch
QString usageJson();         // "usage.json": the last reading, for status bars and scripts
QString statusTxt();         // "status.txt": the last attempt, for whoever diagnoses the app
QString menubarTxt();        // "menubar.txt": the tray's text, a while after start
QString historySqlite();     // "history.sqlite": every good reading, 35 days
QString transcriptsSqlite(); // "transcripts.sqlite": the transcripts' index, a cache
QString settingsFile();      // "Brimwatch.conf" in $XDG_CONFIG_HOME/Brimwatch
QString autostartEntry();    // the login item: $XDG_CONFIG_HOME/autostart/<label>.desktop
QString runtimeDir();        // $XDG_RUNTIME_DIR, else the temporary folder
QString instanceLock();      // "brimwatch.lock" there: one app per session
QString toolPidFile();       // "brimwatch-tool.pid" there: the running tool, swept after a crash

inline constexpr char kLabel[] = "com.velkorlab.brimwatch"; // the app's reverse-domain name

} // namespace Paths

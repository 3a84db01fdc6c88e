#include "Paths.h"

#include <QDir>
#include <QStandardPaths>

namespace Paths {

namespace {

QString config() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

} // namespace

QString supportDir() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Brimwatch");
}

QString usageJson() {
    return supportDir() + QStringLiteral("/usage.json");
}

QString statusTxt() {
    return supportDir() + QStringLiteral("/status.txt");
}

QString menubarTxt() {
    return supportDir() + QStringLiteral("/menubar.txt");
}

QString historySqlite() {
    return supportDir() + QStringLiteral("/history.sqlite");
}

QString transcriptsSqlite() {
    return supportDir() + QStringLiteral("/transcripts.sqlite");
}

QString settingsFile() {
    return config() + QStringLiteral("/Brimwatch/Brimwatch.conf");
}

QString autostartEntry() {
    return config() + QStringLiteral("/autostart/") + QString::fromLatin1(kLabel) +
           QStringLiteral(".desktop");
}

QString runtimeDir() {
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return dir.isEmpty() ? QDir::tempPath() : dir;
}

QString instanceLock() {
    return runtimeDir() + QStringLiteral("/brimwatch.lock");
}

QString toolPidFile() {
    return runtimeDir() + QStringLiteral("/brimwatch-tool.pid");
}

} // namespace Paths

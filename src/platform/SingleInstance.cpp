#include "SingleInstance.h"

#include <QDir>
#include <QStandardPaths>

QString SingleInstance::folder() {
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return dir.isEmpty() ? QDir::tempPath() : dir;
}

SingleInstance::SingleInstance() {
    const QString dir = folder();
    QDir().mkpath(dir);
    lock_ = std::make_unique<QLockFile>(dir + QStringLiteral("/brimwatch.lock"));
    lock_->setStaleLockTime(0); // only a dead owner makes a lock stale
    locked_ = lock_->tryLock(0);
}

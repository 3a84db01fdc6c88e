#include "SingleInstance.h"

#include <QDir>
#include <QStandardPaths>

SingleInstance::SingleInstance() {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    QDir().mkpath(dir);
    lock_ = std::make_unique<QLockFile>(dir + QStringLiteral("/brimwatch.lock"));
    lock_->setStaleLockTime(0); // only a dead owner makes a lock stale
    locked_ = lock_->tryLock(0);
}

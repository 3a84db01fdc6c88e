#include "SingleInstance.h"

#include "files/Paths.h"

#include <QDir>

SingleInstance::SingleInstance() {
    QDir().mkpath(Paths::runtimeDir());
    lock_ = std::make_unique<QLockFile>(Paths::instanceLock());
    lock_->setStaleLockTime(0); // only a dead owner makes a lock stale
    locked_ = lock_->tryLock(0);
}

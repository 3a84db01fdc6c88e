#pragma once

#include <QLockFile>

#include <memory>

// One copy of the app per user session: a lock file in the runtime folder, released when
// the process ends (a stale lock of a dead process is taken over).
class SingleInstance {
public:
    SingleInstance();
    // False when another copy holds the lock.
    bool isFirst() const { return locked_; }

private:
    std::unique_ptr<QLockFile> lock_;
    bool locked_ = false;
};

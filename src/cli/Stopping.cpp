#include "Stopping.h"

#include <QElapsedTimer>

#include <atomic>

namespace Stopping {

namespace {
std::atomic<bool> gRequested{false};
}

void request() {
    gRequested = true;
}

bool requested() {
    return gRequested;
}

bool waitForFinished(QProcess& p, std::chrono::milliseconds limit) {
    QElapsedTimer clock;
    clock.start();
    while (!requested()) {
        const auto left = limit - std::chrono::milliseconds(clock.elapsed());
        if (left <= std::chrono::milliseconds(0))
            return false;
        if (p.waitForFinished(int(std::min(left, kSlice).count())))
            return true;
        if (p.state() == QProcess::NotRunning)
            return true;
    }
    return false;
}

} // namespace Stopping

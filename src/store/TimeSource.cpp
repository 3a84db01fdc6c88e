#include "TimeSource.h"

#include <QTimer>

namespace {

class QtTimer final : public Timer {
public:
    QtTimer(double seconds, bool repeat, std::function<void()> action) {
        timer_.setSingleShot(!repeat);
        timer_.setInterval(std::chrono::milliseconds(qint64(seconds * 1000)));
        // Queued: the action runs on a later turn of the loop, and never after the handle is gone.
        QObject::connect(&timer_, &QTimer::timeout, &timer_, std::move(action),
                         Qt::QueuedConnection);
        timer_.start();
    }

private:
    QTimer timer_;
};

class SystemTime final : public TimeSource {
public:
    Instant now() const override { return std::chrono::system_clock::now(); }
    std::unique_ptr<Timer> after(double seconds, std::function<void()> action) override {
        return std::make_unique<QtTimer>(seconds, false, std::move(action));
    }
    std::unique_ptr<Timer> every(double seconds, std::function<void()> action) override {
        return std::make_unique<QtTimer>(seconds, true, std::move(action));
    }
};

} // namespace

TimeSource& systemTime() {
    static SystemTime time;
    return time;
}

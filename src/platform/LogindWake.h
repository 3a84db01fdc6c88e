#pragma once

#include "WakeSource.h"

// Wake from logind: org.freedesktop.login1.Manager.PrepareForSleep(false) on the system bus.
// Without a system bus it stays silent.
class LogindWake : public WakeSource {
    Q_OBJECT
public:
    explicit LogindWake(QObject* parent = nullptr);

    // Whether the watch could be set up (a system bus was there).
    bool isWatching() const { return watching_; }

private slots:
    void prepareForSleep(bool sleeping);

private:
    bool watching_ = false;
};

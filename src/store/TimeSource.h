#pragma once

#include "usage/Instant.h"

#include <functional>
#include <memory>

// A pending timer; destroying the handle cancels it.
class Timer {
public:
    virtual ~Timer() = default;
};

// The clock and the timers the store uses, so tests can drive time by hand.
class TimeSource {
public:
    virtual ~TimeSource() = default;
    virtual Instant now() const = 0;
    // Calls action once, `seconds` from now, on the main thread.
    virtual std::unique_ptr<Timer> after(double seconds, std::function<void()> action) = 0;
    // Calls action every `seconds`, on the main thread.
    virtual std::unique_ptr<Timer> every(double seconds, std::function<void()> action) = 0;
};

// The wall clock and Qt's timers on the main event loop.
TimeSource& systemTime();

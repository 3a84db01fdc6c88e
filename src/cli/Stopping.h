#pragma once

#include <QProcess>

#include <chrono>

// Waiting for children in a way that the application's quit can cut short.
namespace Stopping {

inline constexpr std::chrono::milliseconds kSlice{250}; // how often a waiting run looks up

// From now on, every wait ends at once: the application quits.
void request();
// True once request() has been called.
bool requested();

// Waits up to `limit` for p to finish; false on time-out or when a stop is requested.
bool waitForFinished(QProcess& p, std::chrono::milliseconds limit);

} // namespace Stopping

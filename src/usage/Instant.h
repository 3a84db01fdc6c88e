#pragma once

#include <chrono>

// An absolute point in time. Durations elsewhere are double seconds.
using Instant = std::chrono::system_clock::time_point;

inline Instant operator+(Instant t, double seconds) {
    return t +
           std::chrono::duration_cast<Instant::duration>(std::chrono::duration<double>(seconds));
}
inline Instant operator-(Instant t, double seconds) {
    return t + -seconds;
}

// Seconds from a to b (negative when b is earlier).
inline double secondsBetween(Instant a, Instant b) {
    return std::chrono::duration<double>(b - a).count();
}

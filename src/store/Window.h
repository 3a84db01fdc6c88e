#pragma once

#include "usage/Instant.h"

#include <cmath>
#include <optional>

// One window of a limit is one reset instant, give or take two minutes: the tool may write
// the same reset as 3:29 at one reading and 3:30 at the next. Alerts and the pace both go by
// this.
inline constexpr double kSameReset = 120; // seconds

inline bool sameWindow(std::optional<Instant> a, std::optional<Instant> b) {
    if (!a || !b)
        return a.has_value() == b.has_value();
    return std::fabs(secondsBetween(*a, *b)) <= kSameReset;
}

#pragma once

#include <QString>

#include <cmath>

// A percentage as a whole number, halves away from zero ("82.5" -> "83", "82.49" -> "82").
// Values beyond a 64-bit integer (never printed by the tool) are written without a fraction.
inline QString roundedPercent(double percent) {
    const double r = std::round(percent);
    if (std::isfinite(r) && std::fabs(r) < 9.2e18)
        return QString::number(static_cast<long long>(r));
    return QString::number(r, 'f', 0);
}

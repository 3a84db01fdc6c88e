#pragma once

#include "Instant.h"

#include <QString>

#include <cmath>
#include <optional>

// What makes sense in a reading: one rule wherever a reading is made (the parser's caller,
// the status line), kept (the history, usage.json) or read back (--status, --waybar), so
// that the app never writes what its own readers refuse.
namespace Sense {

inline constexpr double kMaxPercent = 1000; // past this, or not a number, it is a misreading
inline constexpr qsizetype kMaxText = 200;  // characters kept of a label or a reset text
inline constexpr double kMaxSeconds = 4e9;  // times within this of 1970: from 1843 to 2096

// Why a percentage makes no sense, or nothing.
inline std::optional<QString> percentProblem(double percent) {
    if (std::isfinite(percent) && percent >= 0 && percent <= kMaxPercent)
        return std::nullopt;
    return QStringLiteral("a percentage from 0 to %1 was expected").arg(kMaxPercent);
}

// Unix seconds as an instant; none for a time outside the range every reader holds.
inline std::optional<Instant> instant(double unixSeconds) {
    if (!(std::fabs(unixSeconds) < kMaxSeconds))
        return std::nullopt;
    return Instant() + unixSeconds;
}

} // namespace Sense

#pragma once

#include "Instant.h"

#include <QString>

#include <unicode/timezone.h>
#include <unicode/utypes.h>

#include <limits>
#include <memory>

// Conversions between instants and ICU dates, and zone lookup.
namespace IcuTime {

inline UDate toUDate(Instant t) {
    return std::chrono::duration<double, std::milli>(t.time_since_epoch()).count();
}
inline Instant toInstant(UDate d) {
    return Instant(std::chrono::duration_cast<Instant::duration>(
        std::chrono::duration<double, std::milli>(d)));
}

// The zone of that name when ICU knows it (IANA names, and "GMT+3" style offsets).
std::unique_ptr<icu::TimeZone> knownZone(const QString& name);

} // namespace IcuTime

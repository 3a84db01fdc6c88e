#pragma once

#include "Instant.h"

#include <QString>

#include <unicode/uversion.h>

U_NAMESPACE_BEGIN
class Locale;
class TimeZone;
U_NAMESPACE_END

namespace Fmt {

// Time left until `to`, a started minute counting as a full one: "2h 19m", "1d 5h", "now".
QString countdown(Instant to, Instant now);

// Local clock time of date, with the weekday when it is not on now's day ("9:59 PM", "Tue 9:59
// PM").
QString clock(Instant date, Instant now);
// The same in a given locale and zone.
QString clock(Instant date, Instant now, const icu::Locale& locale, const icu::TimeZone& zone);

// Age of date at now, in completed units: "just now", "5m ago", "50h ago".
QString ago(Instant date, Instant now);

} // namespace Fmt

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

// The locale that times are written in, from the POSIX variables in their order of
// precedence (LC_ALL, then LC_TIME, then LANG): "de_DE.UTF-8" gives "de_DE", and "C", "POSIX"
// or nothing at all give "en_US_POSIX".
QString timeLocaleName(const QString& lcAll, const QString& lcTime, const QString& lang);

// The date and local clock time of date: "Oct 14, 9:59 PM".
QString dateTime(Instant date);

// "Resets in 2h 5m · 9:59 PM", or "Resetting now..." once the reset is not later than now.
QString resetsIn(Instant at, Instant now);

// ISO 8601 in UTC with whole seconds: "2025-10-10T22:19:00Z".
QString isoUtc(Instant t);

// Age of date at now, in completed units: "just now", "5m ago", "50h ago".
QString ago(Instant date, Instant now);

} // namespace Fmt

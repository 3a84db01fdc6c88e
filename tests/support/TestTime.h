#pragma once

#include "usage/Instant.h"

#include <chrono>

// UTC instant from calendar fields, for readable expectations.
inline Instant utc(int y, unsigned mo, unsigned d, int h = 0, int mi = 0, double s = 0) {
    using namespace std::chrono;
    return Instant(sys_days(year_month_day(year(y), month(mo), day(d)))) + hours(h) + minutes(mi) +
           duration_cast<Instant::duration>(duration<double>(s));
}

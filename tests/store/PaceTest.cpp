// The pace: where an even pace would stand, and where the recent rate leads.

#include "store/Pace.h"
#include "support/Table.h"
#include "support/TestTime.h"

using namespace Qt::StringLiterals;

namespace {

const Instant kNow = utc(2025, 10, 10, 20, 0);

Limit limit(const QString& title, double percent, double resetIn) {
    return Limit{title, title, percent, kNow + resetIn, {}};
}

// "title | seconds to the reset" in, the elapsed share out.
TEST(Pace, ElapsedShareOfTheWindow) {
    const Row rows[] = {
        {"Session | 18000", "0"},      {"Session | 9000", "0.5"},     {"Session | 0", "1"},
        {"Session | 20000", "0"},      {"Session | -60", "1"},        {"Week | 302400", "0.5"},
        {"Week · Opus | 604800", "0"}, {"Spend limit | 100", "none"}, {"Session | none", "none"},
    };
    checkTable(rows, [](const QString& r) {
        Limit l = limit(r.section(u" | "_s, 0, 0), 50, r.section(u" | "_s, 1).toDouble());
        if (r.endsWith(u"none"_s))
            l.resetsAt.reset();
        const auto e = Pace::elapsed(l, kNow);
        return e ? QString::number(*e) : u"none"_s;
    });
}

// "title | earlier reset | later reset", in minutes from now ("-": none), in; whether the
// later one is the same window out. A reset that drifts is one window; one that moved later by
// an hour (a day for a week), or that has passed, starts another.
TEST(Pace, OneWindowHoweverTheResetDrifts) {
    const Row rows[] = {
        {"Session | 120 | 121", "same"},    {"Session | 120 | 124", "same"},
        {"Session | 120 | 179", "same"},    {"Session | 120 | 180", "new"},
        {"Session | 120 | 420", "new"},     {"Session | 120 | 100", "same"},
        {"Session | 0 | 4", "new"},         {"Session | -3 | -3", "same"},
        {"Session | - | -", "same"},        {"Session | - | 120", "new"},
        {"Session | 120 | -", "new"},       {"Week · all models | 120 | 1559", "same"},
        {"Week | 120 | 1560", "new"},       {"Week (Sonnet) | 120 | 420", "same"},
        {"Week | -1 | 10", "new"},          {"Spend limit | 120 | 179", "same"},
        {"Spend limit | 120 | 180", "new"},
    };
    checkTable(rows, [](const QString& r) {
        const QStringList f = r.split(u" | "_s);
        const auto at = [](const QString& m) {
            return m == u"-" ? std::nullopt : std::optional(kNow + 60 * m.toDouble());
        };
        return Pace::sameWindow(f[0], at(f[1]), at(f[2]), kNow) ? u"same"_s : u"new"_s;
    });
}

// Readings as "minutes ago:percent[@reset in minutes]" (the reset is the limit's own unless
// given), the session now at its last percent and resetting in 120 minutes; after "week",
// hours instead of minutes, for the week resetting in 72 hours. Out: the sentence, or "calm".
TEST(Pace, WhereTheRecentRateLeads) {
    const Row rows[] = {
        // Steady: 1 % a minute from 40 % leaves 60 minutes, an hour before the reset.
        {"30:10 20:20 10:30 0:40", "At this pace it runs out in 1h, 1h before it resets."},
        // Faster lately: only the session's last hour counts, and the week's last day.
        {"90:0 50:10 40:20 30:30 20:40 10:50 0:60",
         "At this pace it runs out in 40m, 1h 20m before it resets."},
        {"week 30:0 20:40 10:50 0:60",
         "At this pace it runs out in 1d 16h, 1d 8h before it resets."},
        {"30:40 20:40 10:40 0:40", "calm"},            // flat
        {"30:10 20:12 10:14 0:16", "calm"},            // slow enough to last
        {"20:10 0:30", "calm"},                        // too few readings
        {"8:10 4:20 0:30", "calm"},                    // too short a span
        {"30:90@-30 20:95@-30 10:5 0:10", "calm"},     // falling: the rollover in the middle
        {"40:0@-40 30:0@-40 10:30 5:31 0:32", "calm"}, // only the new window's readings
        // A reading from a clock once ten hours ahead takes no part.
        {"-600:99 30:10 20:20 10:30 0:40", "At this pace it runs out in 1h, 1h before it resets."},
    };
    checkTable(rows, [](const QString& r) {
        QList<Sample> samples;
        double percent = 0;
        const bool week = r.startsWith(u"week "_s);
        const QString title = week ? u"Week"_s : u"Session"_s;
        const double unit = week ? 3600 : 60, resetIn = week ? 72 : 120;
        for (const QString& p : r.mid(week ? 5 : 0).split(u' ')) {
            const double ago = p.section(u':', 0, 0).toDouble();
            percent = p.section(u':', 1).section(u'@', 0, 0).toDouble();
            const double reset = p.contains(u'@') ? p.section(u'@', 1).toDouble() : resetIn;
            samples << Sample{kNow - unit * ago,   title, title, percent,
                              kNow + unit * reset, {},    {}};
        }
        const auto out = Pace::runsOut(limit(title, percent, unit * resetIn), samples, kNow);
        return out ? Pace::sentence(*out).replace(QChar::Nbsp, u' ') : u"calm"_s;
    });
}

} // namespace

// The pace: where an even pace would stand, where the recent rate leads, and the history
// the readings are kept in.

#include "store/Pace.h"
#include "store/History.h"
#include "store/HistoryDb.h"
#include "support/StoreFixture.h"
#include "support/Table.h"

#include <QDir>
#include <QFile>
#include <QThread>

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
        {"Week · Opus | 604800", "0"}, {"Spend limit | 100", "none"},
    };
    checkTable(rows, [](const QString& r) {
        const auto e = Pace::elapsed(
            limit(r.section(u" | "_s, 0, 0), 50, r.section(u" | "_s, 1).toDouble()), kNow);
        return e ? QString::number(*e) : u"none"_s;
    });
}

// Readings as "minutes ago:percent[@reset in minutes]" (the reset is the limit's own unless
// given), the session now at its last percent and resetting in 120 minutes. Out: the
// sentence, or "calm".
TEST(Pace, WhereTheRecentRateLeads) {
    const Row rows[] = {
        // Steady: 1 % a minute from 40 % leaves 60 minutes, an hour before the reset.
        {"30:10 20:20 10:30 0:40", "At this pace it runs out in 1h, 1h before it resets."},
        // Faster lately: only the last hour counts.
        {"300:0 50:10 40:20 30:30 20:40 10:50 0:60",
         "At this pace it runs out in 40m, 1h 20m before it resets."},
        {"30:40 20:40 10:40 0:40", "calm"},            // flat
        {"30:10 20:12 10:14 0:16", "calm"},            // slow enough to last
        {"20:10 0:30", "calm"},                        // too few readings
        {"8:10 4:20 0:30", "calm"},                    // too short a span
        {"30:90@-30 20:95@-30 10:5 0:10", "calm"},     // falling: the rollover in the middle
        {"40:0@-40 30:0@-40 10:30 5:31 0:32", "calm"}, // only the new window's readings
    };
    checkTable(rows, [](const QString& r) {
        QList<Sample> samples;
        double percent = 0;
        for (const QString& p : r.split(u' ')) {
            const double ago = p.section(u':', 0, 0).toDouble();
            percent = p.section(u':', 1).section(u'@', 0, 0).toDouble();
            const double reset = p.contains(u'@') ? p.section(u'@', 1).toDouble() : 120;
            samples << Sample{kNow - 60 * ago, u"Session"_s,      u"Current session"_s,
                              percent,         kNow + 60 * reset, {}};
        }
        const auto out = Pace::runsOut(limit(u"Session"_s, percent, 7200), samples, kNow);
        return out ? Pace::sentence(*out).replace(QChar::Nbsp, u' ') : u"calm"_s;
    });
}

class HistoryFile : public StoreFixture {
protected:
    const QString path = TestHome::path() + u"/history.sqlite"_s;
};

// A day of readings every five minutes, one in four failing: the file holds exactly the good
// ones, written down on the history's own thread, and 35 days are kept.
TEST_F(HistoryFile, HoldsTheGoodReadingsWrittenOffTheUiThread) {
    History history;
    history.open(path, time.now());
    UsageStore::Deps d = deps();
    d.history = &history;
    store = std::make_unique<UsageStore>(d);
    int good = 0;
    for (int i = 0; i < 288; ++i) {
        time.advance(300);
        if (i % 4 == 3) {
            read(CLIError{u"boom"_s});
            continue;
        }
        read(
            u"Current session: %1% used · resets 11pm (UTC)\nCurrent week: 5% used"_s.arg(i % 100));
        ++good;
    }
    history.flush();
    EXPECT_NE(history.writerThread(), QThread::currentThreadId());
    EXPECT_EQ(history.samples(u"Session"_s).size(), good);
    HistoryDb db(path, true);
    const QList<Sample> rows = db.since(utc(2025, 1, 1));
    ASSERT_EQ(rows.size(), 2 * good);
    EXPECT_EQ(rows[0].at, utc(2025, 10, 10, 20, 5));
    EXPECT_EQ(rows[2].percent, 1);
    // Pruned an hour short of 35 days after the last reading: that hour's 9 good readings stay.
    HistoryDb writer(path);
    writer.prune(time.now() + 35 * 86400.0 - 3600);
    EXPECT_EQ(writer.since(utc(2025, 1, 1)).size(), 18);
}

TEST_F(HistoryFile, AnEmptyFileBecomesAHistoryAndAGarbledOneIsSetAside) {
    TestHome::write(u"history.sqlite"_s, "");
    HistoryDb(path).append(kNow, {limit(u"Session"_s, 5, 60)});
    EXPECT_EQ(HistoryDb(path, true).since(kNow).size(), 1);

    TestHome::write(u"history.sqlite"_s, QByteArray(8192, 'x'));
    HistoryDb fresh(path);
    fresh.append(kNow, {limit(u"Session"_s, 6, 60)});
    EXPECT_EQ(fresh.since(kNow).size(), 1);
    const QStringList aside = QDir(TestHome::path()).entryList({u"history.sqlite.broken-*"_s});
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(TestHome::read(TestHome::path() + u'/' + aside[0]), QString(8192, u'x'));
}

} // namespace

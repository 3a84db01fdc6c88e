#include "store/History.h"
#include "store/UsageStore.h"
#include "support/StoreFixture.h"
#include "support/Table.h"
#include "support/TestTime.h"

using namespace Qt::StringLiterals;

namespace {

const Instant kNow = utc(2025, 10, 10, 20, 0);

// "failures in a row | seconds to each reset" in, seconds to the next reading out.
TEST(Schedule, Delays) {
    const Row rows[] = {
        {"0 |", "300"},
        {"0 | 7200", "300"},
        {"0 | 100", "120"},
        {"0 | 5", "30"},
        {"1 |", "120"},
        {"2 | 7200", "120"},
        {"2 | 100", "120"},
        {"2 | 5", "30"},
        {"3 |", "900"},
        {"7 | 7200", "900"},
        {"3 | 100", "120"},
        {"7 | 5", "30"},
        {"1 | 50", "70"},
        {"0 | 7", "30"},
        // Past resets and one exactly now are not candidates; the earliest future one counts.
        {"0 | -5 0 3600 200", "220"},
        {"0 | -5 0", "300"},
    };
    checkTable(rows, [](const QString& row) {
        QList<Limit> limits;
        for (const QString& s : row.section(u'|', 1).split(u' ', Qt::SkipEmptyParts)) {
            Limit l;
            l.rawLabel = QString::number(limits.size());
            l.resetsAt = kNow + s.toDouble();
            limits << l;
        }
        const qint64 failures = row.section(u'|', 0, 0).trimmed().toLongLong();
        return QString::number(UsageStore::nextDelay(failures > 0, failures, limits, kNow));
    });
}

class StoreSchedule : public StoreFixture {};

TEST_F(StoreSchedule, EachReadingArmsOneTimerThatStartsTheNext) {
    EXPECT_TRUE(time.pendingOnce().empty()) << "nothing before the first reading";
    const Row rows[] = {
        {"Current session: 5% used", "300"},
        {"!x", "120"},
        {"!x", "120"},
        {"!x", "900"},
        {"Current session: 5% used", "300"},
        {"Current session: 5% used · resets 8:01pm (UTC)", "50"}, // 30 s ahead
    };
    checkTable(rows, [&](const QString& answer) {
        time.advance(5);
        if (answer.startsWith(u'!'))
            read(CLIError{answer.mid(1)});
        else
            read(answer);
        const auto pending = time.pendingOnce();
        return pending.size() == 1 ? QString::number(pending[0])
                                   : u"timers: %1"_s.arg(pending.size());
    });
    // Due: it starts a reading, and leaves no timer behind while that runs.
    const int started = tool.requests;
    time.advance(49);
    EXPECT_EQ(tool.requests, started);
    time.advance(1);
    EXPECT_EQ(tool.requests, started + 1);
    EXPECT_TRUE(time.pendingOnce().empty());
}

} // namespace

// "seconds since the last tool run (- for none) | seconds to a reset" in, seconds to the next
// tool run after a status line's report out: the regular delay, within 30 minutes of the
// last run.
TEST(Schedule, AfterAReport) {
    const Row rows[] = {
        {"- |", "300"},  {"0 |", "300"},  {"1500 |", "300"},  {"1600 |", "200"},
        {"1800 |", "0"}, {"5000 |", "0"}, {"0 | 100", "120"}, {"1750 | 100", "50"},
    };
    checkTable(rows, [](const QString& row) {
        const QString since = row.section(u'|', 0, 0).trimmed();
        const QString reset = row.section(u'|', 1).trimmed();
        QList<Limit> limits;
        if (!reset.isEmpty())
            limits << Limit{u"Current session"_s, u"Session"_s, 5, kNow + reset.toDouble(), {}};
        const auto last = since == u"-" ? std::nullopt : std::optional(kNow - since.toDouble());
        return QString::number(UsageStore::delayAfterReport(limits, kNow, last));
    });
}

// Reports update the session and week rows, leave the others, clear a standing error and
// put off the tool; windows that make no sense change nothing.
TEST_F(StoreSchedule, StatusLineReports) {
    read(u"Current session: 5% used\nCurrent week (all models): 17% used\n"
         "Current week (Opus): 3% used"_s);
    const auto window = [&](double percent, double ahead) {
        return std::optional(StatusLine::Window{percent, time.now() + ahead});
    };
    const Row rows[] = {
        {"200 82 40", "Session 82, Week · all models 40, Week · Opus 3 | 300"},
        {"200 90 -", "Session 90, Week · all models 40, Week · Opus 3 | 300"},
        {"200 130 -", "Session 90, Week · all models 40, Week · Opus 3 | 100"},
        {"50 91 41", "Session 91, Week · all models 41, Week · Opus 3 | 300"},
        {"250 92 -", "Session 92, Week · all models 41, Week · Opus 3 | 300"},
        {"250 93 -", "Session 93, Week · all models 41, Week · Opus 3 | 300"},
        {"250 94 -", "Session 94, Week · all models 41, Week · Opus 3 | 300"},
        {"250 95 -", "Session 95, Week · all models 41, Week · Opus 3 | 150"},
        {"150 96 -", "Session 96, Week · all models 41, Week · Opus 3 | 300"},
    };
    checkTable(rows, [&](const QString& row) {
        const QStringList f = row.split(u' ');
        const double before = time.pendingOnce().at(0);
        time.advance(f[0].toDouble());
        if (tool.busy())
            answer(CLIError{u"Not logged in"_s}); // the 30 minutes are up: the tool ran
        StatusLine::Windows w{window(f[1].toDouble(), 3600),
                              f[2] == u"-" ? std::nullopt : window(f[2].toDouble(), 86400)};
        const int started = tool.requests;
        store->report(w);
        EXPECT_EQ(tool.requests, started);
        EXPECT_EQ(store->source(), UsageStore::Source::StatusLine);
        if (f[1] == u"130") {
            EXPECT_EQ(time.pendingOnce().at(0), before - 200) << "a bad report moves nothing";
        }
        QStringList shown;
        for (const Limit& l : store->limits())
            shown << l.title + u' ' + QString::number(l.percent);
        EXPECT_FALSE(store->error()) << "a report clears the tool's error";
        return u"%1 | %2"_s.arg(shown.join(u", "_s), QString::number(time.pendingOnce().at(0)));
    });
    // The same figures again (Claude Code may ask every second) are taken once a minute.
    const StatusLine::Windows same{StatusLine::Window{96, time.now() + 600}, std::nullopt};
    time.advance(1);
    store->report(same);
    const Instant written = time.now();
    for (const double step : {10, 40, 9})
        time.advance(step), store->report(same);
    EXPECT_EQ(store->updatedAt(), written);
    EXPECT_EQ(time.pendingOnce().at(0), 300);
    time.advance(1);
    store->report(same);
    EXPECT_EQ(store->updatedAt(), time.now());
    // A change is taken at once.
    time.advance(5);
    store->report({StatusLine::Window{97, same.session->resetsAt}, std::nullopt});
    EXPECT_EQ(store->updatedAt(), time.now());
    EXPECT_EQ(store->session()->percent, 97);

    // Fifty reports a second with moving figures, for two minutes: the latest of each second
    // is taken, none is lost, and the history gets a row a minute, and one when a level changes.
    History history;
    UsageStore::Deps d = deps();
    d.history = &history;
    UsageStore busy(d);
    int taken = 0;
    QObject::connect(&busy, &UsageStore::limitsChanged, [&] { ++taken; });
    const Instant resets = time.now() + 3600;
    for (int i = 1; i <= 6000; ++i) {
        time.advance(0.02);
        busy.report({StatusLine::Window{10 + i * 0.01, resets}, std::nullopt});
    }
    EXPECT_EQ(taken, 120);
    EXPECT_EQ(history.samples(u"Session"_s).size(), 2);
    busy.report({StatusLine::Window{81, resets}, std::nullopt});
    busy.report({StatusLine::Window{130, resets}, std::nullopt}); // nonsense replaces nothing
    time.advance(1);
    EXPECT_EQ(busy.session()->percent, 81);
    EXPECT_EQ(history.samples(u"Session"_s).size(), 3) << "into the warning band: a row at once";
}

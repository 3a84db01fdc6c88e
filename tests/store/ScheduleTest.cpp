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

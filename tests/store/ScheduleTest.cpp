#include "store/UsageStore.h"
#include "support/ManualTime.h"
#include "support/QtPrinters.h"
#include "support/StoreFixture.h"
#include "support/TestHome.h"
#include "support/TestTime.h"

#include <gtest/gtest.h>

#include <random>

using namespace Qt::StringLiterals;

namespace {

const Instant kNow = utc(2025, 10, 10, 20, 0);

QList<Limit> resettingIn(std::initializer_list<double> seconds) {
    QList<Limit> limits;
    for (double s : seconds) {
        Limit l;
        l.rawLabel = QString::number(limits.size());
        l.resetsAt = kNow + s;
        limits << l;
    }
    return limits;
}

TEST(Schedule, DelayTable) {
    const QList<Limit> none, twoHours = resettingIn({7200}), soon = resettingIn({100}),
                             verySoon = resettingIn({5});
    const struct {
        bool failed;
        qint64 failures;
        double expected[4]; // no reset, reset in 2 h, in 100 s, in 5 s
    } rows[] = {
        {false, 0, {300, 300, 120, 30}}, {true, 1, {120, 120, 120, 30}},
        {true, 2, {120, 120, 120, 30}},  {true, 3, {900, 900, 120, 30}},
        {true, 7, {900, 900, 120, 30}},
    };
    for (const auto& r : rows) {
        int column = 0;
        for (const QList<Limit>* limits : {&none, &twoHours, &soon, &verySoon})
            EXPECT_EQ(UsageStore::nextDelay(r.failed, r.failures, *limits, kNow),
                      r.expected[column++])
                << "failures " << r.failures << " column " << column;
    }
    // A failure while the last good limits show a reset 50 s ahead.
    EXPECT_EQ(UsageStore::nextDelay(true, 1, resettingIn({50}), kNow), 70);
    EXPECT_EQ(UsageStore::nextDelay(false, 0, resettingIn({7}), kNow), 30);
    // Past resets and one exactly now are not candidates; the earliest future one counts.
    EXPECT_EQ(UsageStore::nextDelay(false, 0, resettingIn({-5, 0, 3600, 200}), kNow), 220);
    EXPECT_EQ(UsageStore::nextDelay(false, 0, resettingIn({-5, 0}), kNow), 300);
}

class StoreSchedule : public StoreFixture {};

TEST_F(StoreSchedule, EachReadingArmsOneTimer) {
    EXPECT_TRUE(time.pendingOnce().empty()) << "nothing before the first reading";
    const struct {
        CLIResult result;
        double delay;
    } steps[] = {
        {u"Current session: 5% used"_s, 300},
        {CLIError{u"x"_s}, 120},
        {CLIError{u"x"_s}, 120},
        {CLIError{u"x"_s}, 900},
        {CLIError{u"x"_s}, 900},
        {u"Current session: 5% used"_s, 300},
        {u"Current session: 5% used · resets 8:01pm (UTC)"_s, 45}, // 25 s ahead
    };
    for (const auto& s : steps) {
        time.advance(5);
        read(s.result);
        EXPECT_EQ(time.pendingOnce(), std::vector<double>{s.delay});
    }
}

TEST_F(StoreSchedule, TheTimerStartsAReadingAndQuickReadsLeaveOne) {
    read(u"Current session: 5% used"_s);
    time.advance(10);
    read(u"Current session: 5% used"_s); // a manual refresh right after
    EXPECT_EQ(time.pendingOnce(), std::vector<double>{300});
    time.advance(299);
    EXPECT_EQ(tool.started, 2);
    time.advance(1);
    EXPECT_EQ(tool.started, 3);
    EXPECT_TRUE(time.pendingOnce().empty());
}

// A day of readings with random outcomes; the store's invariants hold at every step.
TEST_F(StoreSchedule, SimulatedDay) {
    std::mt19937 random(20251010);
    auto chance = [&](int percent) { return int(random() % 100) < percent; };
    const Instant end = kNow + 86400.0;
    bool everApplied = false;
    int limitsSignals = 0;
    QObject::connect(store.get(), &UsageStore::limitsChanged, [&] { ++limitsSignals; });
    store->start();
    int readings = 0;
    while (time.now() < end) {
        if (tool.busy()) {
            time.advance(1 + random() % 30); // the tool takes a while
            if (!tool.busy())
                continue;
            const auto before = store->updatedAt();
            const int signalsBefore = limitsSignals;
            const int roll = int(random() % 100);
            if (roll < 60) {
                QString text;
                for (int i = 0; i < 3; ++i) {
                    const int hour = int(random() % 24), minute = int(random() % 60);
                    text += QStringLiteral("Current limit %1: %2% used · resets %3:%4%5 (UTC)\n")
                                .arg(i)
                                .arg(random() % 101)
                                .arg(hour % 12 == 0 ? 12 : hour % 12)
                                .arg(minute, 2, 10, QChar(u'0'))
                                .arg(hour < 12 ? u"am"_s : u"pm"_s);
                }
                tool.answer(text);
            } else if (roll < 80) {
                tool.answer(u"Something went wrong"_s);
            } else {
                tool.answer(CLIError{u"Could not start Claude Code: boom"_s});
            }
            ++readings;
            everApplied = true;
            EXPECT_EQ(store->failures() == 0, !store->error().has_value());
            if (store->updatedAt() != before)
                EXPECT_EQ(limitsSignals, signalsBefore + 1);
            else
                EXPECT_EQ(limitsSignals, signalsBefore);
            // The start-up version check is the other one-shot timer, for its first 15 s.
            const size_t startupCheck = time.now() < kNow + 15.0 ? 1 : 0;
            const auto pending = time.pendingOnce();
            ASSERT_EQ(pending.size(), 1u + startupCheck);
            EXPECT_GE(pending.back(), 30);
            EXPECT_LE(pending.back(), 900);
        } else {
            if (feed.pending)
                feed.answer(chance(50) ? std::optional(u"1.0.0"_s) : std::nullopt);
            if (chance(5))
                store->refreshIfStale();
            else if (const auto due = time.nextDue())
                time.advanceTo(*due);
        }
        EXPECT_LE(time.pendingOnce().size(), time.now() < kNow + 15.0 ? 2u : 1u);
        EXPECT_FALSE(!everApplied && store->failures() != 0);
    }
    EXPECT_GT(readings, 100);
}

} // namespace

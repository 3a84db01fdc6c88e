#include "cli/ClaudeCLI.h"
#include "store/UsageStore.h"
#include "support/ManualTime.h"
#include "support/QtPrinters.h"
#include "support/StoreFixture.h"
#include "support/TestHome.h"
#include "support/TestTime.h"
#include "usage/UsageParser.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QThreadPool>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

const QString kGood =
    u"Current session: 82% used · resets Oct 11 at 1:19am (Europe/Riga)\n"
    "Current week (all models): 67% used · resets Oct 14 at 9:59pm (Europe/Riga)"_s;
const QString kOther = u"Current session: 90% used\nCurrent week (all models): 70% used"_s;
const QString kLoggedOut = u"Not logged in · Please run /login"_s;

class Store : public StoreFixture {
protected:
    void SetUp() override {
        StoreFixture::SetUp();
        QDir().mkpath(ClaudeCLI::supportDir());
        store->onChange = [this] { ++changes; };
    }

    int changes = 0;
};

TEST_F(Store, OutcomesOfReadings) {
    const struct {
        const char* name;
        CLIResult result;
        qsizetype limits;
        bool updatedNow; // updatedAt is this reading's now
        std::optional<QString> error;
        qint64 failures;
    } steps[] = {
        {"failure first", CLIError{u"boom"_s}, 0, false, u"boom"_s, 1},
        {"good", kGood, 2, true, std::nullopt, 0},
        {"no usage line", kLoggedOut, 2, false, QString::fromUtf16(UsageParser::kLoggedOut), 1},
        {"failure again", CLIError{u"boom"_s}, 2, false, u"boom"_s, 2},
        {"empty text", u""_s, 2, false, QString::fromUtf16(UsageParser::kNoAnswer), 3},
        {"good again", kOther, 2, true, std::nullopt, 0},
    };
    std::optional<Instant> lastGood;
    for (const auto& s : steps) {
        time.advance(10);
        const int before = changes;
        read(s.result);
        EXPECT_EQ(store->limits().size(), s.limits) << s.name;
        if (s.updatedNow)
            lastGood = time.now();
        EXPECT_EQ(store->updatedAt(), lastGood) << s.name;
        EXPECT_EQ(store->error(), s.error) << s.name;
        EXPECT_EQ(store->failures(), s.failures) << s.name;
        EXPECT_EQ(store->now(), time.now()) << s.name;
        EXPECT_FALSE(store->isLoading()) << s.name;
        EXPECT_EQ(changes - before, 2) << s.name; // when loading starts, and when applied
    }
    EXPECT_EQ(store->limits()[0].percent, 90);
}

TEST_F(Store, AFolderProblemIsShownWhileReadingsGoOn) {
    const QString problem = u"Brimwatch can't use its folder /x: it is a file, not a folder"_s;
    QSignalSpy spy(store.get(), &UsageStore::folderProblemChanged);
    store->refresh();
    tool.answer(Reading::of({kGood, false, problem}, time.now()));
    EXPECT_EQ(store->folderProblem(), problem);
    EXPECT_EQ(store->limits().size(), 2);
    read(kOther);
    EXPECT_EQ(store->folderProblem(), std::nullopt);
    EXPECT_EQ(spy.count(), 2);
}

TEST_F(Store, RefreshWhileLoadingChangesNothing) {
    store->refresh();
    ASSERT_EQ(tool.started, 1);
    EXPECT_TRUE(store->isLoading());
    QSignalSpy spy(store.get(), &UsageStore::changed);
    store->refresh();
    store->refreshIfStale(0);
    EXPECT_EQ(tool.started, 1);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(spy.count(), 0);
}

TEST_F(Store, EveryAssignmentNotifiesEvenWithTheSameValue) {
    QSignalSpy limits(store.get(), &UsageStore::limitsChanged);
    QSignalSpy error(store.get(), &UsageStore::errorChanged);
    read(kGood);
    read(kGood);
    EXPECT_EQ(limits.count(), 2);
    EXPECT_EQ(error.count(), 2); // cleared twice
}

TEST_F(Store, RefreshIfStale) {
    store->refreshIfStale();
    EXPECT_EQ(tool.started, 1) << "no reading yet";
    tool.answer(kGood);

    const struct {
        double age;
        bool withError;
        bool refreshes;
    } cases[] = {{59, false, false}, {60, false, true}, {0, true, true}, {59, true, true}};
    for (const auto& c : cases) {
        read(kGood);
        if (c.withError) {
            // A failed reading keeps updatedAt; make it fail right after a good one.
            read(CLIError{u"boom"_s});
        }
        const int started = tool.started;
        time.advance(c.age);
        store->refreshIfStale();
        EXPECT_EQ(tool.started - started, c.refreshes ? 1 : 0)
            << "age " << c.age << " error " << c.withError;
        if (tool.busy())
            tool.answer(kGood);
    }
}

TEST_F(Store, SessionIsTheSessionLimitOrTheFirst) {
    const struct {
        QString text;
        std::optional<QString> label;
    } cases[] = {
        {u"Current week: 5% used\nCurrent session: 7% used"_s, u"Current session"_s},
        {u"Current week: 5% used\nCurrent week (Fable): 6% used"_s, u"Current week"_s},
        {u"nothing here"_s, std::nullopt},
    };
    for (const auto& c : cases) {
        store->loadSample(c.text);
        const auto s = store->session();
        EXPECT_EQ(s ? std::optional(s->rawLabel) : std::nullopt, c.label);
    }
}

TEST_F(Store, SampleLooksTwoMinutesOldAndTouchesNothingElse) {
    time.advance(42);
    store->loadSample(u"Current session: 82% used"_s);
    EXPECT_EQ(store->limits().size(), 1);
    EXPECT_EQ(store->now(), time.now());
    EXPECT_EQ(store->updatedAt(), time.now() - 120.0);
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(time.timerCount(), 0u);
    EXPECT_FALSE(QFile::exists(ClaudeCLI::supportDir() + u"/status.txt"_s));
}

TEST_F(Store, UpdateCheck) {
    const struct {
        std::optional<QString> feed;
        std::optional<QString> newVersion;
        int changes;
    } steps[] = {
        {std::nullopt, std::nullopt, 0}, {u"9.0"_s, u"9.0"_s, 1},     {std::nullopt, u"9.0"_s, 0},
        {u"1.0.0"_s, std::nullopt, 1},   {u"1.0.1"_s, u"1.0.1"_s, 1}, {u"0.9"_s, std::nullopt, 1},
    };
    for (const auto& s : steps) {
        const int before = changes;
        store->checkForUpdate();
        feed.answer(s.feed);
        EXPECT_EQ(store->newVersion(), s.newVersion);
        EXPECT_EQ(changes - before, s.changes);
    }
}

TEST_F(Store, StartReadsTicksAndChecksForUpdates) {
    const Instant t0 = time.now();
    store->start();
    EXPECT_EQ(tool.started, 1);
    EXPECT_EQ(changes, 1);
    tool.answer(kGood);
    const int afterFirst = changes;

    time.advance(14.9);
    EXPECT_EQ(feed.requests, 0);
    time.advance(0.1);
    EXPECT_EQ(feed.requests, 1);
    feed.answer(std::nullopt);
    EXPECT_EQ(changes, afterFirst);
    time.advance(5); // the clock ticks every 20 s
    EXPECT_EQ(store->now(), t0 + 20.0);
    EXPECT_EQ(changes, afterFirst + 1);
    time.advanceTo(t0 + 86400.0);
    EXPECT_EQ(feed.requests, 2);
}

// A store destroyed while its reading runs is never touched by the answer.
TEST_F(Store, DestroyedWhileReadingWithTheRealTool) {
    if (claudeInstalledSystemWide())
        GTEST_SKIP() << "a claude tool is installed on this machine";
    TestHome::script(u".local/bin/claude"_s, "sleep 0.3\necho 'Current session: 5% used'\n");
    UsageStore::Deps d;
    d.time = &time;
    auto real = std::make_unique<UsageStore>(d); // the real tool runner
    int calls = 0;
    real->onChange = [&] { ++calls; };
    real->refresh();
    EXPECT_EQ(calls, 1);
    real.reset();
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(QFile::exists(ClaudeCLI::supportDir() + u"/status.txt"_s));
}

} // namespace

// The store driven by hand: the tool and the feed answer when told, time moves when told.

#include "cli/ClaudeCLI.h"
#include "files/Paths.h"
#include "store/UsageStore.h"
#include "support/StoreFixture.h"
#include "support/Table.h"
#include "support/TestTime.h"
#include "usage/UsageParser.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QThreadPool>

using namespace Qt::StringLiterals;

namespace {

const QString kGood = u"Current session: 82% used · resets Oct 11 at 1:19am (Europe/Riga)\n"
                      "Current week (all models): 67% used"_s;

class Store : public StoreFixture {
protected:
    void SetUp() override {
        StoreFixture::SetUp();
        QDir().mkpath(Paths::supportDir());
        store->onChange = [this] { ++changes; };
    }

    // The store in one line: its limits, when it last read some (seconds since the start),
    // its error, its failures in a row, and how many changes the shell was told of.
    QString state() {
        QStringList limits;
        for (const Limit& l : store->limits())
            limits << l.title + u' ' + QString::number(l.percent);
        const auto at = store->updatedAt();
        return u"%1 | %2 | %3 | failures %4 | told %5"_s.arg(
            limits.join(u", "_s),
            at ? u"at "_s + QString::number(secondsBetween(start, *at)) : u"never"_s,
            store->error().value_or(u"ok"_s), QString::number(store->failures()),
            QString::number(changes));
    }

    const Instant start = time.now();
    int changes = 0;
};

// Each answer, ten seconds after the last; "!" marks a failure to run the tool.
TEST_F(Store, OutcomesOfReadings) {
    const std::string huge = "Current week: 1" + std::string(310, '0') + "% used";
    const std::string hugeSaid =
        "Session 90 | at 60 | Claude Code printed a figure Brimwatch can't use (a percentage from "
        "0 to 1000 was expected): “" +
        huge.substr(0, 119) + "…”. It will try again in a moment. | failures 2 | told 16";
    const Row rows[] = {
        {"!boom", " | never | boom | failures 1 | told 2"},
        {"<good>", "Session 82, Week · all models 67 | at 20 | ok | failures 0 | told 4"},
        {"Not logged in · Please run /login",
         "Session 82, Week · all models 67 | at 20 | [logged out] | failures 1 | told 6"},
        {"!boom", "Session 82, Week · all models 67 | at 20 | boom | failures 2 | told 8"},
        {"", "Session 82, Week · all models 67 | at 20 | [no answer] | failures 3 | told 10"},
        {"Current session: 90% used", "Session 90 | at 60 | ok | failures 0 | told 12"},
        // Figures no limit is read at: the reading is refused, quoting the line.
        {"Current session: 5000% used",
         "Session 90 | at 60 | Claude Code printed a figure Brimwatch can't use (a percentage "
         "from 0 to 1000 was expected): “Current session: 5000% used”. It will try again in a "
         "moment. | failures 1 | told 14"},
        {huge.c_str(), hugeSaid.c_str()},
    };
    checkTable(rows, [&](const QString& answer) {
        time.advance(10);
        if (answer.startsWith(u'!'))
            read(CLIError{answer.mid(1)});
        else
            read(answer == u"<good>" ? kGood : answer);
        EXPECT_EQ(store->now(), time.now());
        EXPECT_FALSE(store->isLoading());
        return state()
            .replace(QString::fromUtf16(UsageParser::kLoggedOut), u"[logged out]"_s)
            .replace(QString::fromUtf16(UsageParser::kNoAnswer), u"[no answer]"_s);
    });
}

TEST_F(Store, RefreshIsDroppedWhileOneRuns) {
    store->refresh();
    EXPECT_TRUE(store->isLoading());
    QSignalSpy spy(store.get(), &UsageStore::changed);
    store->refresh();
    store->refreshIfStale(0);
    EXPECT_EQ(tool.requests, 1);
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

// "age after a good reading[, failed since]" in, whether it refreshes out.
TEST_F(Store, RefreshIfStale) {
    store->refreshIfStale();
    EXPECT_EQ(tool.requests, 1) << "no reading yet";
    answer(kGood);
    const Row rows[] = {{"59", "no"}, {"60", "yes"}, {"0, failed", "yes"}, {"59, failed", "yes"}};
    checkTable(rows, [&](const QString& c) {
        read(kGood);
        if (c.endsWith(u"failed"))
            read(CLIError{u"boom"_s}); // a failure keeps the time of the last good reading
        const int started = tool.requests;
        time.advance(c.section(u',', 0, 0).toDouble());
        store->refreshIfStale();
        if (tool.busy())
            answer(kGood);
        return tool.requests > started ? u"yes"_s : u"no"_s;
    });
}

TEST_F(Store, SessionIsTheSessionLimitOrTheFirst) {
    const Row rows[] = {
        {"Current week: 5% used\nCurrent session: 7% used", "Current session"},
        {"Current week: 5% used\nCurrent week (Fable): 6% used", "Current week"},
        {"nothing here", "-"},
    };
    checkTable(rows, [&](const QString& text) {
        store->loadSample(text);
        return store->session() ? store->session()->rawLabel : u"-"_s;
    });
}

TEST_F(Store, SampleLooksTwoMinutesOldAndTouchesNothingElse) {
    time.advance(42);
    store->loadSample(u"Current session: 82% used"_s);
    EXPECT_EQ(state(), u"Session 82 | at -78 | ok | failures 0 | told 0"_s);
    EXPECT_EQ(time.timerCount(), 0u);
    EXPECT_FALSE(QFile::exists(Paths::statusTxt()));
}

// The feed's answer in, the newer version the store then knows of out.
TEST_F(Store, UpdateCheck) {
    const Row rows[] = {{"-", "-"},     {"9.0", "9.0"},     {"-", "9.0"},
                        {"1.0.0", "-"}, {"1.0.1", "1.0.1"}, {"0.9", "-"}};
    checkTable(rows, [&](const QString& answer) {
        const int before = changes;
        store->checkForUpdate();
        feed.answer(answer == u"-" ? std::nullopt : std::optional(answer));
        EXPECT_EQ(changes - before, answer == u"-" ? 0 : 1);
        return store->newVersion().value_or(u"-"_s);
    });
}

TEST_F(Store, StartReadsTicksAndChecksForUpdates) {
    store->start();
    EXPECT_EQ(tool.requests, 1);
    answer(kGood);
    time.advance(14.9);
    EXPECT_EQ(feed.requests, 0);
    time.advance(0.1);
    EXPECT_EQ(feed.requests, 1);
    const int told = changes;
    time.advance(5); // the clock ticks every 20 s
    EXPECT_EQ(store->now(), start + 20.0);
    EXPECT_EQ(changes, told + 1);
    time.advanceTo(start + 86400.0);
    EXPECT_EQ(feed.requests, 2);
}

TEST_F(Store, AFolderProblemIsShownWhileReadingsGoOn) {
    const QString problem = u"Brimwatch can't use its folder /x: it is a file, not a folder"_s;
    QSignalSpy spy(store.get(), &UsageStore::folderProblemChanged);
    store->refresh();
    tool.answer(Reading::of({kGood, false, problem, {}}, time.now()));
    EXPECT_EQ(store->folderProblem(), problem);
    EXPECT_EQ(store->limits().size(), 2);
    read(kGood);
    EXPECT_EQ(store->folderProblem(), std::nullopt);
    EXPECT_EQ(spy.count(), 2);
}

// A store destroyed while its reading runs is never touched by the answer.
TEST_F(Store, DestroyedWhileReadingWithTheRealTool) {
    if (claudeInstalledSystemWide())
        GTEST_SKIP() << "a claude tool is installed on this machine";
    TestHome::script(u".local/bin/claude"_s, "sleep 0.3\necho 'Current session: 5% used'\n");
    UsageStore::Deps d = deps();
    d.read = [](QObject* context, UsageStore::ReadDone done) { // the real tool runner
        ClaudeCLI::usage(context, std::move(done));
    };
    auto real = std::make_unique<UsageStore>(d);
    int calls = 0;
    real->onChange = [&] { ++calls; };
    real->refresh();
    real.reset();
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(QFile::exists(Paths::statusTxt()));
}

} // namespace

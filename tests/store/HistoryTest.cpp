// The history's file in ordinary bad luck: busy, locked, from a crash, on a full disk, under
// an odd clock. Nothing sound is discarded, and no reading is dropped.

#include "store/History.h"
#include "store/HistoryDb.h"
#include "support/StoreFixture.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>

#include <sys/mount.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

Limit session(double percent) {
    return Limit{u"Current session"_s, u"Session"_s, percent, std::nullopt, {}};
}

// A connection of another program (sqlite3 in a terminal, a backup tool) to the same file.
class Other {
public:
    explicit Other(const QString& path, const char* name = "other")
        : name_(QString::fromLatin1(name)) {
        db_ = QSqlDatabase::addDatabase(u"QSQLITE"_s, name_);
        db_.setDatabaseName(path);
        db_.open();
    }
    ~Other() {
        db_.close();
        db_ = QSqlDatabase();
        QSqlDatabase::removeDatabase(name_);
    }
    bool run(const QString& sql) { return QSqlQuery(db_).exec(sql); }

private:
    QString name_;
    QSqlDatabase db_;
};

class HistoryFile : public StoreFixture {
protected:
    int rows(const QString& file = {}) {
        return int(HistoryDb(file.isEmpty() ? path : file, true).since(Instant()).size());
    }
    // Opens a history on the file at the clock's now, its retries a moment apart.
    std::unique_ptr<History> open() {
        auto h = std::make_unique<History>();
        h->open(path, time.now(), 200);
        return h;
    }
    const QString path = TestHome::path() + u"/history.sqlite"_s;
};

// A day of readings every five minutes, one in four failing: the file holds exactly the good
// ones, written down on the history's own thread; 35 days before the newest are kept.
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
    const QList<Sample> kept = HistoryDb(path, true).since(utc(2025, 1, 1));
    ASSERT_EQ(kept.size(), 2 * good);
    EXPECT_EQ(kept[0].at, utc(2025, 10, 10, 20, 5));
    EXPECT_EQ(kept[0].resetsAt, utc(2025, 10, 10, 23, 0));
    EXPECT_EQ(kept[0].resetText, u"11pm (UTC)"_s);
    EXPECT_EQ(kept[2].percent, 1);
    // A history open for days prunes without a restart: the first day is gone 35 days later.
    history.record(time.now() + 35 * 86400.0 - 3600, {session(5)});
    history.record(time.now() + 35 * 86400.0 + 7200, {session(6)});
    history.flush();
    EXPECT_EQ(rows(), 9 * 2 + 2) << "the last hour's 9 good readings, and the two new ones";
}

// Another program's lock at start-up, over a journal a crash left: the file is waited for,
// not set aside, and the crash's rows and those read meanwhile are all there afterwards.
TEST_F(HistoryFile, ALockedFileIsWaitedForAndNothingIsLost) {
    {
        // A crash: rows in the journal, never written into the file.
        Other crashed(TestHome::path() + u"/crashed.sqlite"_s, "crashed");
        HistoryDb(TestHome::path() + u"/crashed.sqlite"_s).append(time.now(), {session(1)});
        crashed.run(u"PRAGMA wal_autocheckpoint = 0"_s);
        crashed.run(u"INSERT INTO readings VALUES (%1, 'Session', 'Current session', 2, NULL, "
                    "NULL, '')"_s.arg(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          time.now().time_since_epoch())
                                          .count()));
        for (const char* part : {"", "-wal", "-shm"})
            QFile::copy(TestHome::path() + u"/crashed.sqlite"_s + QLatin1String(part),
                        path + QLatin1String(part));
    }
    auto lock = std::make_unique<Other>(path);
    ASSERT_TRUE(lock->run(u"PRAGMA locking_mode = EXCLUSIVE"_s) && lock->run(u"BEGIN EXCLUSIVE"_s));
    auto history = open();
    for (int i = 0; i < 3; ++i)
        history->record(time.now() + 60.0 * i, {session(10 + i)});
    QThread::msleep(400);
    history->flush();
    EXPECT_TRUE(QDir(TestHome::path()).entryList({u"history.sqlite.broken-*"_s}).isEmpty());
    lock.reset();
    EXPECT_TRUE(waitUntil(5000, [&] { return rows() == 5; })) << rows();

    // The app quits while another holds the file, freed a moment later: what waits goes in,
    // in order.
    std::atomic<bool> held = false;
    std::thread holder([&] {
        Other other(path, "holder");
        held = other.run(u"BEGIN EXCLUSIVE"_s);
        QThread::msleep(1000);
    });
    ASSERT_TRUE(waitUntil(2000, [&] { return held.load(); }));
    for (int i = 0; i < 4; ++i)
        history->record(time.now() + 1200.0 + i, {session(30 + i)});
    QThread::msleep(300);
    history.reset();
    holder.join();
    EXPECT_EQ(rows(), 9);
    EXPECT_EQ(HistoryDb(path, true).since(Instant()).last().percent, 33);
}

// Opened on a file, a history finds its rows, in order with a reading this run has made.
TEST_F(HistoryFile, ReadsItsFileBackInOrder) {
    HistoryDb(path).append(time.now() - 7200.0, {session(1)});
    HistoryDb(path).append(time.now() - 3600.0, {session(2)});
    auto history = open();
    history->record(time.now() - 5400.0, {session(3)});
    EXPECT_TRUE(waitUntil(5000, [&] { return history->samples(u"Session"_s).size() == 3; }));
    QList<double> percents;
    for (const Sample& s : history->samples(u"Session"_s))
        percents << s.percent;
    EXPECT_EQ(percents, (QList<double>{1, 3, 2}));
}

// One reading with the clock two months ahead prunes nothing: pruning goes by the newest
// reading kept that is not later than the one at hand.
TEST_F(HistoryFile, AnOddClockPrunesNothing) {
    auto history = open();
    for (int i = 0; i < 10; ++i)
        history->record(time.now() + 3600.0 * i, {session(i)});
    history->record(time.now() + 60 * 86400.0, {session(50)});
    history->record(time.now() + 11 * 3600.0, {session(11)});
    history->flush();
    EXPECT_EQ(rows(), 12);
    // Nor does it hide the readings before it.
    EXPECT_EQ(history->samples(u"Session"_s).size(), 12);
}

// A full disk at start-up: the readings wait, and go in once there is room, in the same run.
TEST_F(HistoryFile, AFullDiskDelaysWritingInTheSameRun) {
    const QString folder = TestHome::path() + u"/small"_s;
    QDir().mkpath(folder);
    if (::geteuid() != 0 ||
        ::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "a small disk of its own needs root";
    const auto unmount = qScopeGuard([&] { ::umount(QFile::encodeName(folder).constData()); });
    QFile filler(folder + u"/filler"_s);
    filler.open(QIODevice::WriteOnly);
    while (filler.write(QByteArray(4096, 'x')) == 4096 && filler.flush()) {
    }
    filler.close();
    History history;
    history.open(folder + u"/history.sqlite"_s, time.now(), 200);
    history.record(time.now(), {session(1)});
    history.record(time.now() + 60.0, {session(2)});
    history.flush();
    EXPECT_EQ(rows(folder + u"/history.sqlite"_s), 0);
    QFile::remove(folder + u"/filler"_s);
    EXPECT_TRUE(waitUntil(15000, [&] { return rows(folder + u"/history.sqlite"_s) == 2; }));
    EXPECT_TRUE(QDir(folder).entryList({u"*.broken-*"_s}).isEmpty());
}

// An empty file becomes a history; a garbled one is set aside with its journal; one of a
// newer layout is read as far as this version understands it.
TEST_F(HistoryFile, OnlyAFileThatIsNoDatabaseIsSetAside) {
    TestHome::write(u"history.sqlite"_s, "");
    HistoryDb(path).append(time.now(), {session(5)});
    EXPECT_EQ(rows(), 1);
    Other(path).run(u"PRAGMA user_version = 9"_s);
    EXPECT_TRUE(HistoryDb(path).append(time.now(), {session(6)}));
    EXPECT_EQ(rows(), 2);

    TestHome::write(u"history.sqlite"_s, QByteArray(8192, 'x'));
    TestHome::write(u"history.sqlite-wal"_s, "journal");
    HistoryDb fresh(path);
    EXPECT_TRUE(fresh.append(time.now(), {session(6)}));
    EXPECT_EQ(fresh.since(time.now()).size(), 1);
    const QStringList aside = QDir(TestHome::path()).entryList({u"history.sqlite.broken-*"_s});
    ASSERT_TRUE(aside.size() >= 2 && aside.contains(aside[0] + u"-wal"_s))
        << aside.join(u' ').toStdString();
    EXPECT_EQ(TestHome::read(TestHome::path() + u'/' + aside[0]), QString(8192, u'x'));
}

// A file from before several accounts keeps its rows, now the default account's; rows of
// each account are read apart.
TEST_F(HistoryFile, AFileFromBeforeAccountsKeepsItsRows) {
    {
        Other old(path);
        ASSERT_TRUE(old.run(u"CREATE TABLE readings (at INTEGER NOT NULL, title TEXT NOT NULL, "
                            "label TEXT NOT NULL, percent REAL NOT NULL, resets_at INTEGER, "
                            "reset_text TEXT)"_s));
        ASSERT_TRUE(old.run(u"INSERT INTO readings VALUES (1000, 'Session', 'Current session', "
                            "40, NULL, NULL)"_s));
        ASSERT_TRUE(old.run(u"PRAGMA user_version = 1"_s));
    }
    ASSERT_TRUE(HistoryDb(path).append(time.now(), {session(7)}, u"/work"_s));
    HistoryDb db(path, true);
    QStringList seen;
    for (const Sample& s : db.since(Instant()))
        seen << u"%1 %2"_s.arg(s.percent).arg(s.account);
    EXPECT_EQ(seen.join(u", "_s), u"40 , 7 /work"_s);
    EXPECT_EQ(db.since(Instant(), u"/work"_s).size(), 1);
    EXPECT_EQ(db.since(Instant(), u""_s).value(0).percent, 40);
}

} // namespace

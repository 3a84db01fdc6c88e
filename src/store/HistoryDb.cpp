#include "HistoryDb.h"

#include "files/Diagnostics.h"
#include "files/Files.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <atomic>

namespace {

// SQLite's primary result codes that say something about the file.
enum Code { Busy = 5, Locked = 6, Corrupt = 11, NotADatabase = 26 };
constexpr int kBusyTimeout = 200; // ms a statement waits for another process's lock

qint64 ms(Instant t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count();
}
Instant instant(qint64 ms) {
    return Instant(std::chrono::milliseconds(ms));
}

QString uniqueName() {
    static std::atomic<int> next{0};
    return QStringLiteral("history-%1").arg(next++);
}

int code(const QSqlError& error) {
    return error.nativeErrorCode().toInt() & 0xff; // extended codes carry the primary one low
}

} // namespace

HistoryDb::HistoryDb(const QString& path, bool readOnly)
    : path_(path)
    , name_(uniqueName())
    , readOnly_(readOnly) {
    reopen();
}

HistoryDb::~HistoryDb() {
    close();
}

void HistoryDb::close() {
    db_.close();
    db_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(name_);
    open_ = false;
}

bool HistoryDb::reopen() {
    close();
    switch (open()) {
    case Outcome::Open:
        open_ = true;
        problem_.clear();
        return true;
    case Outcome::Corrupt:
        if (readOnly_) // a reader never mends: the app sets it aside when it next writes
            break;
        setAside(problem_);
        if (open() == Outcome::Open) {
            open_ = true;
            problem_.clear();
            return true;
        }
        break;
    case Outcome::Later:
        break;
    }
    close();
    return false;
}

HistoryDb::Outcome HistoryDb::failed(const QSqlError& error) {
    problem_ = error.text();
    // A lock, a full disk or a file that cannot be written is no reason to give up the file.
    return code(error) == Corrupt || code(error) == NotADatabase ? Outcome::Corrupt
                                                                 : Outcome::Later;
}

HistoryDb::Outcome HistoryDb::open() {
    missing_ = false;
    switch (Files::kindOf(path_)) {
    case Files::Kind::Missing:
        if (readOnly_) {
            missing_ = true;
            problem_.clear();
            return Outcome::Later;
        }
        break;
    case Files::Kind::Regular:
        // Empty, a reader sees no history: SQLite would take it as a database without tables.
        if (readOnly_ && QFileInfo(path_).size() == 0) {
            missing_ = true;
            problem_.clear();
            return Outcome::Later;
        }
        break;
    case Files::Kind::Other: // a FIFO would block whoever opens it
        problem_ = path_ + QStringLiteral(" is not a regular file");
        return Outcome::Later;
    }
    if (!readOnly_) {
        if (const auto problem = Files::makeFolder(QFileInfo(path_).path())) {
            problem_ = *problem;
            return Outcome::Later;
        }
    }
    db_ = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
    QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeout);
    if (readOnly_) {
        // Beside the running app its -wal is there to read; without the app, nothing is
        // written, not even a -shm.
        const bool running = QFileInfo::exists(path_ + QStringLiteral("-wal"));
        options += running ? QStringLiteral(";QSQLITE_OPEN_READONLY")
                           : QStringLiteral(";QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI");
        db_.setDatabaseName(
            running ? path_ : QStringLiteral("file:") + path_ + QStringLiteral("?immutable=1"));
    } else {
        db_.setDatabaseName(path_);
    }
    db_.setConnectOptions(options);
    if (!db_.open())
        return failed(db_.lastError());
    {
        QSqlQuery q(db_);
        // Rows are appended and read back once: a small page cache, which the whole-file
        // check below would otherwise fill with the entire file for the app's lifetime.
        if (!q.exec(QStringLiteral("PRAGMA cache_size = -256")))
            return failed(q.lastError());
        // quick_check reads the whole file: a few milliseconds for 35 days of readings.
        if (!q.exec(QStringLiteral("PRAGMA quick_check")) || !q.next())
            return failed(q.lastError());
        if (q.value(0).toString() != u"ok") {
            problem_ = QStringLiteral("it is damaged: ") + q.value(0).toString();
            return readOnly_ ? Outcome::Later : Outcome::Corrupt;
        }
        if (readOnly_)
            return Outcome::Open;
        if (!q.exec(QStringLiteral("PRAGMA journal_mode=WAL")))
            return failed(q.lastError());
    } // a statement left open would keep the migration from committing
    return migrate();
}

// Each step takes the layout from one version to the next; later versions add theirs.
HistoryDb::Outcome HistoryDb::migrate() {
    QSqlQuery q(db_);
    if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next())
        return failed(q.lastError());
    const int version = q.value(0).toInt();
    q.finish();
    if (version > kVersion)
        return Outcome::Open; // a newer Brimwatch's file: used as far as this one understands it
    if (version < 1) {
        db_.transaction();
        const bool made = q.exec(QStringLiteral(
                              "CREATE TABLE readings (at INTEGER NOT NULL, title TEXT NOT NULL, "
                              "label TEXT NOT NULL, percent REAL NOT NULL, resets_at INTEGER, "
                              "reset_text TEXT)")) &&
                          q.exec(QStringLiteral("CREATE INDEX readings_at ON readings (at)")) &&
                          q.exec(QStringLiteral("PRAGMA user_version = 1"));
        if (!made || !db_.commit())
            return undone(q);
    }
    if (version < 2) {
        // Several accounts: the rows there are belong to the default one.
        db_.transaction();
        const bool made = q.exec(QStringLiteral("ALTER TABLE readings ADD COLUMN account TEXT "
                                                "NOT NULL DEFAULT ''")) &&
                          q.exec(QStringLiteral("PRAGMA user_version = 2"));
        if (!made || !db_.commit())
            return undone(q);
    }
    return Outcome::Open;
}

HistoryDb::Outcome HistoryDb::undone(const QSqlQuery& q) {
    const QSqlError error = q.lastError().isValid() ? q.lastError() : db_.lastError();
    db_.rollback();
    return failed(error);
}

void HistoryDb::setAside(const QString& why) {
    const QString stamp =
        QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    const QString aside = path_ + QStringLiteral(".broken-") + stamp;
    // Moved while still open: closing may delete the journal by its name, and the journal
    // belongs with its file (it may hold the latest rows).
    const bool moved = QFile::rename(path_, aside);
    if (moved)
        for (const char* journal : {"-wal", "-shm"})
            QFile::rename(path_ + QLatin1String(journal), aside + QLatin1String(journal));
    close();
    if (!moved) {
        Diagnostics::tellOnce(QStringLiteral("the history in %1 is damaged (%2), and could not "
                                             "be moved aside: no history is kept")
                                  .arg(path_, why));
        return;
    }
    Diagnostics::tellOnce(QStringLiteral("the history in %1 could not be used (%2): it was set "
                                         "aside as %3, and a new one begun")
                              .arg(path_, why, aside));
}

bool HistoryDb::append(Instant at, const QList<Limit>& limits, const QString& account) {
    if (!open_ || readOnly_)
        return false;
    db_.transaction();
    QSqlQuery q(db_);
    q.prepare(QStringLiteral("INSERT INTO readings (at, title, label, percent, resets_at, "
                             "reset_text, account) VALUES (?, ?, ?, ?, ?, ?, ?)"));
    bool ok = true;
    for (const Limit& l : limits) {
        q.addBindValue(ms(at));
        q.addBindValue(l.title);
        q.addBindValue(l.rawLabel);
        q.addBindValue(l.percent);
        q.addBindValue(l.resetsAt ? QVariant(ms(*l.resetsAt)) : QVariant());
        q.addBindValue(l.resetText ? QVariant(*l.resetText) : QVariant());
        q.addBindValue(account.isNull() ? QStringLiteral("") : account); // null is not ''

        ok = ok && q.exec();
    }
    if (ok && db_.commit())
        return true;
    const QSqlError error = q.lastError().isValid() ? q.lastError() : db_.lastError();
    db_.rollback();
    if (failed(error) == Outcome::Corrupt) {
        setAside(error.text());
        if (open() == Outcome::Open) {
            open_ = true;
            return append(at, limits, account);
        }
    }
    return false;
}

QList<Sample> HistoryDb::since(Instant from, const std::optional<QString>& account) const {
    QList<Sample> rows;
    if (!open_)
        return rows;
    QSqlQuery q(db_);
    q.setForwardOnly(true); // read once, in order: no copy of every row kept for going back
    q.prepare(QStringLiteral("SELECT at, title, label, percent, resets_at, reset_text, account "
                             "FROM readings WHERE at >= ? %1 ORDER BY at, rowid")
                  .arg(account ? QStringLiteral("AND account = ?") : QString()));
    q.addBindValue(ms(from));
    if (account)
        q.addBindValue(*account);
    if (!q.exec())
        return rows;
    // Titles, labels and reset texts repeat from row to row: each row shares one copy of
    // each, rather than thousands of rows holding thousands of equal strings.
    QSet<QString> texts;
    const auto text = [&texts](const QVariant& v) { return *texts.insert(v.toString()); };
    while (q.next())
        rows << Sample{instant(q.value(0).toLongLong()),
                       text(q.value(1)),
                       text(q.value(2)),
                       q.value(3).toDouble(),
                       q.value(4).isNull() ? std::nullopt
                                           : std::optional(instant(q.value(4).toLongLong())),
                       q.value(5).isNull() ? std::nullopt : std::optional(text(q.value(5))),
                       text(q.value(6))};
    return rows;
}

std::optional<Instant> HistoryDb::newest(Instant notAfter) const {
    if (!open_)
        return std::nullopt;
    QSqlQuery q(db_);
    q.prepare(QStringLiteral("SELECT max(at) FROM readings WHERE at <= ?"));
    q.addBindValue(ms(notAfter));
    if (!q.exec() || !q.next() || q.value(0).isNull())
        return std::nullopt;
    return instant(q.value(0).toLongLong());
}

void HistoryDb::prune(Instant before) {
    if (!open_ || readOnly_)
        return;
    QSqlQuery q(db_);
    q.prepare(QStringLiteral("DELETE FROM readings WHERE at < ?"));
    q.addBindValue(ms(before));
    q.exec();
}

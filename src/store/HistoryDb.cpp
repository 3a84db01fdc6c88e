#include "HistoryDb.h"

#include "platform/Diagnostics.h"
#include "platform/Files.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QTimeZone>
#include <QVariant>

#include <atomic>

namespace {

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

} // namespace

HistoryDb::HistoryDb(const QString& path, bool readOnly)
    : path_(path)
    , name_(uniqueName())
    , readOnly_(readOnly) {
    if (!open() && !readOnly_) {
        setAside(db_.isOpen() ? QStringLiteral("it is not a sound database")
                              : db_.lastError().text());
        open();
    }
}

HistoryDb::~HistoryDb() {
    db_.close();
    db_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(name_);
}

bool HistoryDb::open() {
    if (!readOnly_) {
        if (const auto problem = Files::makeFolder(QFileInfo(path_).path())) {
            Diagnostics::tellOnce(QStringLiteral("no history is kept: ") + *problem);
            return true; // nothing to set aside
        }
    }
    db_ = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
    db_.setDatabaseName(path_);
    if (readOnly_)
        db_.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    if (!db_.open())
        return false;
    {
        QSqlQuery q(db_);
        // quick_check reads the whole file: a few milliseconds for 35 days of readings.
        if (!q.exec(QStringLiteral("PRAGMA quick_check")) || !q.next() ||
            q.value(0).toString() != u"ok")
            return false;
        if (readOnly_)
            return true;
        q.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
    } // a statement left open would keep the migration from committing
    return migrate();
}

// Each step takes the layout from one version to the next; later versions add theirs.
bool HistoryDb::migrate() {
    QSqlQuery q(db_);
    if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next())
        return false;
    const int version = q.value(0).toInt();
    q.finish();
    if (version > kVersion)
        return true; // a newer Brimwatch's file: used as far as this one understands it
    if (version < 1) {
        db_.transaction();
        const bool made = q.exec(QStringLiteral(
                              "CREATE TABLE readings (at INTEGER NOT NULL, title TEXT NOT NULL, "
                              "label TEXT NOT NULL, percent REAL NOT NULL, resets_at INTEGER, "
                              "reset_text TEXT)")) &&
                          q.exec(QStringLiteral("CREATE INDEX readings_at ON readings (at)")) &&
                          q.exec(QStringLiteral("PRAGMA user_version = 1"));
        if (!made || !db_.commit()) {
            db_.rollback();
            return false;
        }
    }
    return true;
}

void HistoryDb::setAside(const QString& why) {
    db_.close();
    db_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(name_);
    const QString stamp =
        QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    const QString aside = path_ + QStringLiteral(".broken-") + stamp;
    QFile::rename(path_, aside);
    for (const char* journal : {"-wal", "-shm"})
        QFile::remove(path_ + QString::fromLatin1(journal));
    Diagnostics::tellOnce(QStringLiteral("the history in %1 could not be used (%2): it was set "
                                         "aside as %3, and a new one begun")
                              .arg(path_, why, aside));
}

void HistoryDb::append(Instant at, const QList<Limit>& limits) {
    if (!db_.isOpen() || readOnly_)
        return;
    db_.transaction();
    QSqlQuery q(db_);
    q.prepare(QStringLiteral("INSERT INTO readings VALUES (?, ?, ?, ?, ?, ?)"));
    bool ok = true;
    for (const Limit& l : limits) {
        q.addBindValue(ms(at));
        q.addBindValue(l.title);
        q.addBindValue(l.rawLabel);
        q.addBindValue(l.percent);
        q.addBindValue(l.resetsAt ? QVariant(ms(*l.resetsAt)) : QVariant());
        q.addBindValue(l.resetText ? QVariant(*l.resetText) : QVariant());
        ok = ok && q.exec();
    }
    if (ok && db_.commit())
        return;
    const QSqlError error = q.lastError().isValid() ? q.lastError() : db_.lastError();
    db_.rollback();
    // SQLITE_CORRUPT (11) and SQLITE_NOTADB (26), in their extended forms too.
    const int code = error.nativeErrorCode().toInt() & 0xff;
    if (code == 11 || code == 26) {
        setAside(error.text());
        if (open())
            append(at, limits);
    }
}

QList<Sample> HistoryDb::since(Instant from) const {
    QList<Sample> rows;
    if (!db_.isOpen())
        return rows;
    QSqlQuery q(db_);
    q.prepare(QStringLiteral("SELECT at, title, label, percent, resets_at, reset_text FROM "
                             "readings WHERE at >= ? ORDER BY at, rowid"));
    q.addBindValue(ms(from));
    if (!q.exec())
        return rows;
    while (q.next())
        rows << Sample{instant(q.value(0).toLongLong()),
                       q.value(1).toString(),
                       q.value(2).toString(),
                       q.value(3).toDouble(),
                       q.value(4).isNull() ? std::nullopt
                                           : std::optional(instant(q.value(4).toLongLong())),
                       q.value(5).isNull() ? std::nullopt : std::optional(q.value(5).toString())};
    return rows;
}

void HistoryDb::prune(Instant now) {
    if (!db_.isOpen() || readOnly_)
        return;
    QSqlQuery q(db_);
    q.prepare(QStringLiteral("DELETE FROM readings WHERE at < ?"));
    q.addBindValue(ms(now - kKeep));
    q.exec();
}

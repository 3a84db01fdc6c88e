#include "Index.h"

#include "files/Files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <atomic>

using namespace Qt::StringLiterals;

namespace Transcript {

namespace {

enum Code { Corrupt = 11, NotADatabase = 26 };
constexpr int kBusyTimeout = 5000;        // ms: the app and a command may update it at once
constexpr qint64 kCommitBytes = 64 << 20; // a transaction at most this much reading long

qint64 ms(Instant t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count();
}

bool damaged(const QSqlError& error) {
    const int code = error.nativeErrorCode().toInt() & 0xff;
    return code == Corrupt || code == NotADatabase;
}

struct Known {
    qint64 id = 0;
    QString account;
    FileId file;
    qint64 done = 0;
};

} // namespace

Index::Index(const QString& path)
    : path_(path) {
    static std::atomic<int> next{0};
    name_ = QStringLiteral("transcripts-%1").arg(next++);
    if (!open() && damaged_) { // set aside, and made anew
        setAside();
        open();
    }
}

Index::~Index() {
    db_.close();
    db_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(name_);
}

bool Index::open() {
    db_.close();
    db_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(name_);
    open_ = damaged_ = false;
    if (Files::kindOf(path_) == Files::Kind::Other) {
        problem_ = path_ + QStringLiteral(" is not a regular file");
        return false;
    }
    if (const auto problem = Files::makeFolder(QFileInfo(path_).path())) {
        problem_ = *problem;
        return false;
    }
    db_ = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
    db_.setDatabaseName(path_);
    db_.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeout));
    if (!db_.open()) {
        return failed(db_.lastError());
    }
    QSqlQuery q(db_);
    // A small cache: the index is read once per answer, and the app stays small.
    if (!q.exec(QStringLiteral("PRAGMA cache_size = -1024")) ||
        !q.exec(QStringLiteral("PRAGMA journal_mode = WAL")) ||
        !q.exec(QStringLiteral("PRAGMA user_version")) || !q.next()) {
        return failed(q.lastError());
    }
    const int version = q.value(0).toInt();
    q.finish();
    if (version != kVersion && !make()) // another layout, or a new file
        return false;
    open_ = true;
    problem_.clear();
    return true;
}

bool Index::failed(const QSqlError& error) {
    damaged_ = damaged(error);
    problem_ = error.text();
    return false;
}

bool Index::make() {
    QSqlQuery q(db_);
    db_.transaction();
    const bool made =
        q.exec(QStringLiteral("DROP TABLE IF EXISTS replies")) &&
        q.exec(QStringLiteral("DROP TABLE IF EXISTS files")) &&
        q.exec(QStringLiteral("CREATE TABLE files (id INTEGER PRIMARY KEY, path TEXT NOT NULL "
                              "UNIQUE, account TEXT NOT NULL, device INTEGER NOT NULL, inode "
                              "INTEGER NOT NULL, done INTEGER NOT NULL)")) &&
        q.exec(QStringLiteral(
            "CREATE TABLE replies (file INTEGER NOT NULL, id TEXT NOT NULL, request TEXT NOT "
            "NULL, at INTEGER NOT NULL, model TEXT NOT NULL, cwd TEXT NOT NULL, session TEXT NOT "
            "NULL, input INTEGER NOT NULL, output INTEGER NOT NULL, cache_write INTEGER NOT NULL, "
            "cache_read INTEGER NOT NULL, PRIMARY KEY (at, file, id)) WITHOUT ROWID")) &&
        // Kept in time order, so that a window's replies are read in one sweep; each file's
        // message once.
        q.exec(QStringLiteral("CREATE UNIQUE INDEX replies_of_file ON replies (file, id)")) &&
        q.exec(QStringLiteral("PRAGMA user_version = %1").arg(kVersion));
    if (made && db_.commit())
        return true;
    db_.rollback();
    return failed(q.lastError());
}

void Index::setAside() {
    db_.close();
    db_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(name_);
    const QString aside = path_ + QStringLiteral(".broken");
    for (const char* part : {"", "-wal", "-shm"}) {
        QFile::remove(aside + QLatin1StringView(part));
        QFile::rename(path_ + QLatin1StringView(part), aside + QLatin1StringView(part));
    }
}

bool Index::readFile(const Found& file, qint64 id, qint64 from, Report& report, QSqlQuery& put,
                     QSqlQuery& done) {
    bool ok = true;
    const Reading r = readFrom(file, from, [&](QByteArrayView text) {
        const Line line = read(text);
        switch (line.kind) {
        case Line::Kind::Other:
            return;
        case Line::Kind::Malformed:
            ++report.malformed;
            return;
        case Line::Kind::Absurd:
            ++report.absurd;
            return;
        case Line::Kind::Reply:
            break;
        }
        const Message& m = line.message;
        ++report.replies;
        // A name that is missing is empty, never SQL's NULL.
        const auto name = [](const QString& s) { return QVariant(s.isNull() ? u""_s : s); };
        for (const QVariant& v :
             {QVariant(id), name(QString::fromUtf8(m.id)), name(QString::fromUtf8(m.request)),
              QVariant(ms(m.at)), name(m.model), name(m.cwd), name(m.session), QVariant(m.input),
              QVariant(m.output), QVariant(m.cacheWrite), QVariant(m.cacheRead)})
            put.addBindValue(v);
        ok = ok && put.exec();
    });
    if (r.problem)
        report.problems << *r.problem;
    report.bytes += r.end - from;
    ++report.read;
    done.addBindValue(r.end);
    done.addBindValue(id);
    return ok && done.exec();
}

Index::Report Index::update(const QList<Source>& sources, const std::function<bool()>& stop) {
    Report report;
    if (!open_) {
        report.failed = problem_;
        return report;
    }
    QHash<QString, Known> known;
    {
        QSqlQuery q(db_);
        q.setForwardOnly(true);
        q.exec(QStringLiteral("SELECT id, path, account, device, inode, done FROM files"));
        while (q.next())
            known.insert(q.value(1).toString(),
                         {q.value(0).toLongLong(),
                          q.value(2).toString(),
                          {q.value(3).toULongLong(), q.value(4).toULongLong()},
                          q.value(5).toLongLong()});
    }
    QSet<QString> keep; // files still there, and those of folders that could not be listed
    QList<std::pair<Found, QString>> found;
    for (const Source& s : sources) {
        Listing l = list(s.projects);
        if (l.problem) {
            report.problems << *l.problem;
            if (l.files.isEmpty()) // not a folder, a loop of links, no permission
                report.unlisted.insert(s.account, *l.problem);
            for (auto it = known.cbegin(); it != known.cend(); ++it)
                if (it->account == s.account)
                    keep.insert(it.key());
        }
        for (Found& f : l.files)
            found.append({std::move(f), s.account});
    }
    QSqlQuery put(db_), done(db_), forget(db_), drop(db_), add(db_);
    // Each statement made once: the same few run for every file and line.
    put.prepare(QStringLiteral(
        "INSERT INTO replies VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT (file, id) DO "
        "UPDATE SET input = max(input, excluded.input), output = max(output, excluded.output), "
        "cache_write = max(cache_write, excluded.cache_write), cache_read = max(cache_read, "
        "excluded.cache_read), at = min(at, excluded.at)"));
    done.prepare(QStringLiteral("UPDATE files SET done = ? WHERE id = ?"));
    forget.prepare(QStringLiteral("DELETE FROM replies WHERE file = ?"));
    drop.prepare(QStringLiteral("DELETE FROM files WHERE id = ?"));
    add.prepare(QStringLiteral(
        "INSERT INTO files (path, account, device, inode, done) VALUES (?, ?, ?, ?, 0)"));
    QSqlError error;
    const auto remove = [&](qint64 id) {
        forget.addBindValue(id);
        drop.addBindValue(id);
        if (forget.exec() && drop.exec())
            return true;
        error = forget.lastError().isValid() ? forget.lastError() : drop.lastError();
        return false;
    };
    const auto fail = [&] {
        report.failed = error.text();
        db_.rollback();
        if (damaged(error)) { // made anew next time
            setAside();
            open_ = false;
            problem_ = QStringLiteral("the index was damaged and is made anew");
        }
        return report;
    };
    db_.transaction();
    qint64 sinceCommit = 0;
    for (const auto& [file, account] : found) {
        keep.insert(file.path);
        ++report.files;
        auto it = known.find(file.path);
        qint64 from = 0, id = 0;
        if (it != known.end() && it->file == file.id && it->account == account &&
            file.size >= it->done) {
            if (file.size == it->done)
                continue; // nothing new
            from = it->done;
            id = it->id;
        } else { // new, replaced or shrunk: from its start
            if (it != known.end() && !remove(it->id))
                return fail();
            for (const QVariant& v :
                 {QVariant(file.path), QVariant(account), QVariant(qulonglong(file.id.device)),
                  QVariant(qulonglong(file.id.inode))})
                add.addBindValue(v);
            if (!add.exec()) {
                error = add.lastError();
                return fail();
            }
            id = add.lastInsertId().toLongLong();
        }
        const qint64 before = report.bytes;
        if (!readFile(file, id, from, report, put, done)) {
            error = put.lastError().isValid() ? put.lastError() : done.lastError();
            return fail();
        }
        sinceCommit += report.bytes - before;
        if (sinceCommit > kCommitBytes) { // others may read and write meanwhile
            if (!db_.commit()) {
                error = db_.lastError();
                return fail();
            }
            db_.transaction();
            sinceCommit = 0;
        }
        if (stop && stop())
            break;
    }
    if (!(stop && stop())) { // a stopped update has not seen every file
        for (auto it = known.cbegin(); it != known.cend(); ++it) {
            if (keep.contains(it.key()))
                continue; // gone, or of an account no longer read: dropped
            if (!remove(it->id))
                return fail();
        }
    }
    if (!db_.commit()) {
        error = db_.lastError();
        return fail();
    }
    return report;
}

QList<Message> Index::replies(const QString& account, Instant from, Instant to, By by) const {
    QList<Message> out;
    if (!open_)
        return out;
    QSqlQuery q(db_);
    q.setForwardOnly(true);
    // Each message once: a message's copies share its id and its time (a resumed session
    // copies the lines); then summed by the key and the model, whose factor weighs them.
    const QString key = by == By::Project ? QStringLiteral("cwd")
                        : by == By::Model ? QStringLiteral("model")
                                          : QStringLiteral("session");
    q.prepare(QStringLiteral(
                  "SELECT %1, model, count(*), min(at), sum(input), sum(output), "
                  "sum(cache_write), sum(cache_read) FROM (SELECT min(r.at) AS at, "
                  "min(r.model) AS model, min(r.cwd) AS cwd, min(r.session) AS session, "
                  "max(r.input) AS input, max(r.output) AS output, max(r.cache_write) AS "
                  "cache_write, max(r.cache_read) AS cache_read FROM replies r JOIN files f ON "
                  "f.id = r.file WHERE r.at >= ? AND r.at < ? AND f.account = ? GROUP BY r.id) "
                  "GROUP BY 1, 2")
                  .arg(key));
    q.addBindValue(ms(from));
    q.addBindValue(ms(to));
    q.addBindValue(account);
    if (!q.exec())
        return out;
    while (q.next()) {
        Message m;
        const QString k = q.value(0).toString();
        m.model = q.value(1).toString();
        (by == By::Project ? m.cwd : by == By::Model ? m.model : m.session) = k;
        m.count = q.value(2).toLongLong();
        m.at = Instant(std::chrono::milliseconds(q.value(3).toLongLong()));
        m.input = q.value(4).toLongLong();
        m.output = q.value(5).toLongLong();
        m.cacheWrite = q.value(6).toLongLong();
        m.cacheRead = q.value(7).toLongLong();
        out.append(std::move(m));
    }
    return out;
}

} // namespace Transcript

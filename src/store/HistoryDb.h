#pragma once

#include "usage/Limit.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>

// One limit at one reading, as the history keeps it.
struct Sample {
    Instant at;
    QString title, label;
    double percent = 0;
    std::optional<Instant> resetsAt;
    std::optional<QString> resetText;
    QString account; // its config folder; empty for the default account
    friend bool operator==(const Sample&, const Sample&) = default;
};

// "history.sqlite": every good reading, a row per limit, kept 35 days. SQLite through QtSql,
// in WAL mode (readers go on while the app writes), with its layout's version in
// PRAGMA user_version. One object per thread: SQLite connections are not shared.
//
// A sound file is never discarded: a file that is busy (another process holds a lock), that
// cannot be written (a full disk, no permission) or that is not a regular file is left as it
// is, and the caller tries again later. Only a file SQLite finds corrupt, or that is not a
// database, is moved aside as "history.sqlite.broken-<UTC time>", its -wal and -shm with it.
class HistoryDb {
public:
    static constexpr int kVersion = 2;            // of the layout
    static constexpr double kKeep = 35 * 86400.0; // seconds of history kept

    // Opens (or makes) the file. readOnly: for readers beside the running app, which neither
    // make, mend nor leave anything behind.
    explicit HistoryDb(const QString& path, bool readOnly = false);
    ~HistoryDb();
    HistoryDb(const HistoryDb&) = delete;
    HistoryDb& operator=(const HistoryDb&) = delete;

    bool isOpen() const { return open_; }
    // Why the file is not open, when it is not ("" when it simply does not exist, for a reader).
    const QString& problem() const { return problem_; }
    // Whether it is not open for a while only (busy, a full disk): worth trying again.
    bool isMissing() const { return missing_; }
    QString path() const { return path_; }

    // Tries to open the file again, after a failure.
    bool reopen();

    // Adds a reading's limits; false when it could not be written now (the file is busy or
    // cannot be written), and the reading should be kept and tried again.
    bool append(Instant at, const QList<Limit>& limits, const QString& account = {});
    // Rows since an instant, oldest first; of one account only, when given one.
    QList<Sample> since(Instant from, const std::optional<QString>& account = {}) const;
    // The newest reading kept that is not later than an instant.
    std::optional<Instant> newest(Instant notAfter) const;
    // Drops rows older than an instant.
    void prune(Instant before);

private:
    enum class Outcome { Open, Later, Corrupt };
    Outcome open();
    Outcome migrate();
    Outcome failed(const class QSqlError& error);
    Outcome undone(const class QSqlQuery& q); // a step that failed, rolled back
    void close();
    void setAside(const QString& why);

    QString path_;
    QString name_; // of the connection
    bool readOnly_;
    bool open_ = false;
    bool missing_ = false;
    QString problem_;
    QSqlDatabase db_;
};

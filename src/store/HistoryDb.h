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
    friend bool operator==(const Sample&, const Sample&) = default;
};

// "history.sqlite": every good reading, a row per limit, kept 35 days. SQLite through QtSql,
// in WAL mode (readers go on while the app writes), with its layout's version in
// PRAGMA user_version. One object per thread: SQLite connections are not shared.
class HistoryDb {
public:
    static constexpr int kVersion = 1;            // of the layout
    static constexpr double kKeep = 35 * 86400.0; // seconds of history kept

    // Opens (or makes) the file. A file that is not a sound database is moved aside as
    // "history.sqlite.broken-<UTC time>" and a new one is started; standard error hears of it.
    // readOnly: for readers beside the running app (it neither makes nor mends the file).
    explicit HistoryDb(const QString& path, bool readOnly = false);
    ~HistoryDb();
    HistoryDb(const HistoryDb&) = delete;
    HistoryDb& operator=(const HistoryDb&) = delete;

    bool isOpen() const { return db_.isOpen(); }
    QString path() const { return path_; }

    // Adds a reading's limits. A write that finds the file corrupt starts a new one.
    void append(Instant at, const QList<Limit>& limits);
    // Rows since an instant, oldest first.
    QList<Sample> since(Instant from) const;
    // Drops rows older than kKeep before now.
    void prune(Instant now);

private:
    bool open();
    bool migrate();
    void setAside(const QString& why);

    QString path_;
    QString name_; // of the connection
    bool readOnly_;
    QSqlDatabase db_;
};

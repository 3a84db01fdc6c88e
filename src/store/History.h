#pragma once

#include "HistoryDb.h"

#include <QMap>
#include <QObject>
#include <QThread>

#include <atomic>

class HistoryWorker;

// Every good reading, remembered: the recent ones in memory for the pace and the charts,
// all of them in "history.sqlite". The file is only ever touched on a thread of its own, so
// a slow disk or a broken file never holds up the UI.
class History : public QObject {
    Q_OBJECT
public:
    static constexpr double kRecent = 8 * 86400.0; // seconds kept in memory: a week's window
    static constexpr int kPending = 500;           // readings kept while the file is busy
    static constexpr int kRetry = 5000;            // ms before a busy file is tried again,
    static constexpr int kRetryAtMost = 300000;    // then twice that, up to five minutes
    static constexpr int kLastTry = 3000;          // ms a busy file is waited on at the end

    // In memory only, until open().
    explicit History(QObject* parent = nullptr);
    ~History() override;

    // Loads the file's recent rows, then adds each reading to it. Rows older than 35 days
    // before the newest reading go, and again once a day of readings later. A file that is
    // busy or cannot be written is tried again every few seconds; readings wait till then.
    void open(const QString& file, Instant now, int retry = kRetry);

    // A reading of an account, by its config folder (empty for the default account).
    void record(Instant at, const QList<Limit>& limits, const QString& account = {});
    // The recent samples of one limit of an account, oldest first.
    QList<Sample> samples(const QString& title, const QString& account = {}) const {
        return samples_.value({account, title});
    }

    // Waits until the file has everything recorded so far (tests, and quitting).
    void flush();
    // The thread the file was last written on (tests make sure it is not the UI's).
    Qt::HANDLE writerThread() const { return writer_; }

signals:
    // The file's rows arrived. A reading recorded says nothing: its store announces it.
    void changed();

private:
    void add(const QList<Sample>& rows, bool announce = true);

    QMap<std::pair<QString, QString>, QList<Sample>> samples_; // by account and title
    Instant now_{}, keepFrom_{}; // the latest reading's time; the earlier of the last two
    QThread thread_;
    HistoryWorker* worker_ = nullptr;
    std::atomic<Qt::HANDLE> writer_{nullptr};
};

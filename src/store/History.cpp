#include "History.h"

#include "files/Diagnostics.h"

#include <QDeadlineTimer>
#include <QTimer>

#include <deque>
#include <malloc.h>
#include <memory>

// The file's side of the history, on its own thread. Readings that cannot be written yet (the
// file is locked by another process, the disk is full) wait here, in order, and go in when the
// file frees up; the file that could not be opened is opened again later.
class HistoryWorker : public QObject {
    Q_OBJECT
public:
    HistoryWorker(QString file, std::atomic<Qt::HANDLE>* writer, int retry)
        : file_(std::move(file))
        , writer_(writer)
        , firstRetry_(retry) {}

public slots:
    void open(Instant now) {
        retry_ = new QTimer(this);
        retry_->setSingleShot(true);
        retry_->setInterval(firstRetry_);
        connect(retry_, &QTimer::timeout, this, &HistoryWorker::flush);
        db_ = std::make_unique<HistoryDb>(file_);
        now_ = now;
        if (db_->isOpen())
            opened();
        else
            later();
    }
    void append(Instant at, const QList<Limit>& limits, const QString& account) {
        pending_.push_back({at, limits, account});
        if (pending_.size() > History::kPending) // the oldest go first; a record has its end
            pending_.pop_front();
        now_ = at;
        flush();
    }

    // The last chance before the app ends: what waits is tried again until it is in or the
    // time is up, however the file is busy meanwhile.
    void finish(int ms) {
        QDeadlineTimer deadline(ms);
        if (retry_)
            retry_->stop();
        while (db_ && !pending_.empty() && !deadline.hasExpired()) {
            flush();
            if (!pending_.empty())
                QThread::msleep(std::min<qint64>(100, deadline.remainingTime()));
        }
        if (db_ && !pending_.empty())
            Diagnostics::tellOnce(QStringLiteral("%1 readings could not go into the history in %2 "
                                                 "before the app ended: %3")
                                      .arg(pending_.size())
                                      .arg(file_, db_->problem()));
    }

signals:
    void loaded(const QList<Sample>& rows);

private:
    struct Pending {
        Instant at;
        QList<Limit> limits;
        QString account;
    };

    void opened() {
        retry_->setInterval(firstRetry_);
        prune(now_);
        if (!loaded_) // once: a file opened again later holds nothing new to this run
            emit loaded(db_->since(now_ - History::kRecent));
        loaded_ = true;
    }

    void flush() {
        if (!db_->isOpen()) {
            if (!db_->reopen())
                return later();
            opened();
        }
        while (!pending_.empty()) {
            prune(pending_.front().at);
            const Pending& p = pending_.front();
            if (!db_->append(p.at, p.limits, p.account))
                return later();
            *writer_ = QThread::currentThreadId();
            pending_.pop_front();
        }
    }

    void later() {
        Diagnostics::tellOnce(QStringLiteral("the history in %1 can't be written yet (%2): "
                                             "readings wait, and go in when it can")
                                  .arg(file_, db_->problem()),
                              QStringLiteral("later ") + file_);
        retry_->start();
        // A file that stays unusable (a FIFO in its place) is looked at less and less often.
        retry_->setInterval(std::min(2 * retry_->interval(), History::kRetryAtMost));
    }

    // Rows older than 35 days before the newest reading kept so far that is not later than the
    // one at hand (which is not in the file yet): one reading with a clock weeks ahead prunes
    // nothing, then or later. Once a day of readings is enough.
    void prune(Instant at) {
        const auto newest = db_->newest(at);
        if (!newest || (pruned_ && secondsBetween(*pruned_, *newest) < 86400))
            return;
        db_->prune(*newest - HistoryDb::kKeep);
        pruned_ = newest;
    }

    QString file_;
    std::atomic<Qt::HANDLE>* writer_;
    std::unique_ptr<HistoryDb> db_;
    std::deque<Pending> pending_;
    std::optional<Instant> pruned_; // the newest reading at the last prune
    Instant now_;
    QTimer* retry_ = nullptr;
    int firstRetry_;
    bool loaded_ = false;
};

History::History(QObject* parent)
    : QObject(parent) {}

void History::open(const QString& file, Instant now, int retry) {
    if (worker_)
        return;
    now_ = keepFrom_ = now;
    qRegisterMetaType<Instant>("Instant");
    qRegisterMetaType<QList<Limit>>("QList<Limit>");
    qRegisterMetaType<QList<Sample>>("QList<Sample>");
    worker_ = new HistoryWorker(file, &writer_, retry);
    worker_->moveToThread(&thread_);
    connect(&thread_, &QThread::finished, worker_, &QObject::deleteLater);
    connect(worker_, &HistoryWorker::loaded, this, [this](const QList<Sample>& rows) {
        add(rows);
        // The rows were read on the history's thread, in memory of its own; once the copy
        // kept here is made and theirs is gone, that memory goes back to the system.
        QTimer::singleShot(0, this, [] { malloc_trim(0); });
    });
    thread_.setObjectName(QStringLiteral("history"));
    thread_.start(QThread::LowPriority);
    QMetaObject::invokeMethod(worker_, "open", Qt::QueuedConnection, Q_ARG(Instant, now));
}

History::~History() {
    if (worker_) // what waits for a busy file gets a last try, never a hang at logout
        QMetaObject::invokeMethod(
            worker_, [w = worker_] { w->finish(kLastTry); }, Qt::BlockingQueuedConnection);
    thread_.quit();
    thread_.wait();
}

void History::record(Instant at, const QList<Limit>& limits, const QString& account) {
    keepFrom_ = std::min(now_, at);
    now_ = at;
    QList<Sample> rows;
    for (const Limit& l : limits)
        rows << Sample{at, l.title, l.rawLabel, l.percent, l.resetsAt, l.resetText, account};
    add(rows, false); // the store announces the reading itself
    if (worker_)
        QMetaObject::invokeMethod(worker_, "append", Qt::QueuedConnection, Q_ARG(Instant, at),
                                  Q_ARG(QList<Limit>, limits), Q_ARG(QString, account));
}

void History::add(const QList<Sample>& rows, bool announce) {
    for (const Sample& s : rows) {
        QList<Sample>& list = samples_[{s.account, s.title}];
        // Loaded rows may come after the first readings of this run: keep the order.
        auto at = std::upper_bound(list.begin(), list.end(), s.at,
                                   [](Instant t, const Sample& x) { return t < x.at; });
        list.insert(at, s);
    }
    // Older than any window that can still be on screen: let go. Measured from the earlier
    // of the last two readings, not from the newest row: one reading with a clock weeks ahead
    // lets go of nothing.
    for (QList<Sample>& list : samples_)
        while (!list.isEmpty() && list.first().at < keepFrom_ - kRecent)
            list.removeFirst();
    if (announce)
        emit changed();
}

void History::flush() {
    if (worker_)
        QMetaObject::invokeMethod(
            worker_, [] {}, Qt::BlockingQueuedConnection);
}

#include "History.moc"

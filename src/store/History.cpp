#include "History.h"

#include <memory>

// The file's side of the history, on its own thread.
class HistoryWorker : public QObject {
    Q_OBJECT
public:
    HistoryWorker(QString file, std::atomic<Qt::HANDLE>* writer)
        : file_(std::move(file))
        , writer_(writer) {}

public slots:
    void open(Instant now) {
        db_ = std::make_unique<HistoryDb>(file_);
        prune(now);
        emit loaded(db_->since(now - History::kRecent));
    }
    void append(Instant at, const QList<Limit>& limits) {
        db_->append(at, limits);
        *writer_ = QThread::currentThreadId();
        if (secondsBetween(pruned_, at) >= 86400) // once a day is enough for 35 days
            prune(at);
    }

signals:
    void loaded(const QList<Sample>& rows);

private:
    void prune(Instant now) {
        db_->prune(now);
        pruned_ = now;
    }

    QString file_;
    Instant pruned_;
    std::atomic<Qt::HANDLE>* writer_;
    std::unique_ptr<HistoryDb> db_;
};

History::History(QObject* parent)
    : QObject(parent) {}

void History::open(const QString& file, Instant now) {
    if (worker_)
        return;
    qRegisterMetaType<Instant>("Instant");
    qRegisterMetaType<QList<Limit>>("QList<Limit>");
    qRegisterMetaType<QList<Sample>>("QList<Sample>");
    worker_ = new HistoryWorker(file, &writer_);
    worker_->moveToThread(&thread_);
    connect(&thread_, &QThread::finished, worker_, &QObject::deleteLater);
    connect(worker_, &HistoryWorker::loaded, this,
            [this](const QList<Sample>& rows) { add(rows); });
    thread_.setObjectName(QStringLiteral("history"));
    thread_.start(QThread::LowPriority);
    QMetaObject::invokeMethod(worker_, "open", Qt::QueuedConnection, Q_ARG(Instant, now));
}

History::~History() {
    thread_.quit(); // what was queued is written first
    thread_.wait();
}

void History::record(Instant at, const QList<Limit>& limits) {
    QList<Sample> rows;
    for (const Limit& l : limits)
        rows << Sample{at, l.title, l.rawLabel, l.percent, l.resetsAt, l.resetText};
    add(rows, false); // the store announces the reading itself
    if (worker_)
        QMetaObject::invokeMethod(worker_, "append", Qt::QueuedConnection, Q_ARG(Instant, at),
                                  Q_ARG(QList<Limit>, limits));
}

void History::add(const QList<Sample>& rows, bool announce) {
    for (const Sample& s : rows) {
        QList<Sample>& list = samples_[s.title];
        // Loaded rows may come after the first readings of this run: keep the order.
        auto at = std::upper_bound(list.begin(), list.end(), s.at,
                                   [](Instant t, const Sample& x) { return t < x.at; });
        list.insert(at, s);
    }
    // Older than any window that can still be on screen: let go.
    for (QList<Sample>& list : samples_)
        while (!list.isEmpty() && list.first().at < list.last().at - kRecent)
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

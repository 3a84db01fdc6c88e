#include "Shares.h"

#include "AccountStores.h"
#include "files/Diagnostics.h"
#include "transcripts/Index.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>
#include <QtConcurrent>

#include <cmath>
#ifdef __GLIBC__
#include <malloc.h>
#endif

Shares::Shares(AccountStores* stores, QString indexPath, QObject* parent)
    : QObject(parent)
    , stores_(stores)
    , indexPath_(std::move(indexPath)) {
    pool_.setMaxThreadCount(1);
    later_.setSingleShot(true);
    connect(&later_, &QTimer::timeout, this, &Shares::run);
}

Shares::~Shares() {
    stopping_ = true;
    pool_.waitForDone();
}

void Shares::refresh() {
    if (later_.isActive() || running_) {
        again_ = again_ || running_;
        return;
    }
    const qint64 since = last_.isValid() ? last_.elapsed() : kGapMs;
    later_.start(int(std::max<qint64>(0, kGapMs - since)));
}

void Shares::refreshNow() {
    later_.stop();
    run();
}

void Shares::run() {
    if (running_) {
        again_ = true;
        return;
    }
    running_ = true;
    last_.start();
    struct Wanted { // an account's folder and its last rows, copied for the worker
        QString folder;
        QList<Limit> limits;
    };
    QList<Wanted> accounts;
    for (qsizetype i = 0; i < stores_->stores().size(); ++i)
        accounts << Wanted{stores_->accounts()[i].folder(), stores_->stores()[i]->limits()};
    const Instant now = stores_->first()->now();
    QPointer<Shares> self(this);
    (void)QtConcurrent::run(
        &pool_, [self, accounts, now, path = indexPath_, stopping = &stopping_] {
            // The first indexing of a heavy user's transcripts takes seconds: never in anyone's
            // way.
            QThread::currentThread()->setPriority(QThread::IdlePriority);
            QHash<QString, Of> result;
            QStringList problems;
            {
                Transcript::Index index(path);
                QList<Transcript::Index::Source> sources;
                for (const Wanted& a : accounts)
                    sources << Transcript::Index::Source::of(a.folder);
                const auto report = index.update(sources, [stopping] { return stopping->load(); });
                problems = report.problems;
                if (report.failed)
                    problems << QStringLiteral("can't update %1: %2").arg(path, *report.failed);
                if (report.malformed || report.absurd)
                    problems << QStringLiteral("skipped %1 unreadable lines of Claude Code's "
                                               "transcripts and %2 whose counts make no sense")
                                    .arg(report.malformed)
                                    .arg(report.absurd);
                for (const Wanted& a : accounts) {
                    Of& of = result[a.folder];
                    for (auto [name, rows] :
                         {std::pair{u"session", &of.session}, {u"week", &of.week}}) {
                        const auto w = Transcript::window(QString::fromUtf16(name), a.limits, now);
                        *rows = Transcript::rows(index.replies(a.folder, w->from, w->to,
                                                               Transcript::By::Project),
                                                 Transcript::By::Project, *w)
                                    .mid(0, kTop);
                    }
                }
            }
#ifdef __GLIBC__
            // What the update took is freed, but glibc keeps a thread's arena: give it back,
            // so that the app is as small between updates as it was before the first.
            ::malloc_trim(0);
#endif
            QMetaObject::invokeMethod(
                qApp,
                [self, result = std::move(result), problems] {
                    for (const QString& p : problems)
                        Diagnostics::tellOnce(p, QStringLiteral("transcripts"));
                    if (!self)
                        return;
                    self->running_ = false;
                    self->of_ = result;
                    emit self->changed();
                    if (std::exchange(self->again_, false))
                        self->refresh();
                },
                Qt::QueuedConnection);
        });
}

QString Shares::tip(const QList<Transcript::Row>& rows) {
    if (rows.isEmpty())
        return {};
    QStringList lines;
    for (const Transcript::Row& r : rows)
        lines << QStringLiteral("%1: %2% of the replies' weight%3")
                     .arg(r.name)
                     .arg(std::lround(r.share * 100))
                     .arg(r.limitPercent ? QStringLiteral(", about %1% of the limit")
                                               .arg(std::lround(*r.limitPercent))
                                         : QString());
    return lines.join(u'\n') +
           QStringLiteral("\nAn estimate from Claude Code's transcripts: each reply weighed by its "
                          "tokens and model, as the API prices them.");
}

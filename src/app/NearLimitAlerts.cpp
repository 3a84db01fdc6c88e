#include "NearLimitAlerts.h"

#include "platform/Notifications.h"
#include "prefs/Keys.h"
#include "prefs/Prefs.h"
#include "prefs/Settings.h"
#include "store/AccountStores.h"
#include "store/Pace.h"
#include "store/Shares.h"
#include "store/UsageStore.h"
#include "usage/Sense.h"
#include "views/AppIcon.h"
#include "views/UsageContent.h"

#include <QPointer>

namespace {

const QString kGroup = QLatin1String(Keys::kAlerts);

// A title or a folder as a settings key: '/' would open a group, so it is written %2F.
QString key(QString title) {
    return title.replace(u'%', QStringLiteral("%25")).replace(u'/', QStringLiteral("%2F"));
}

QString title(QString key) {
    return key.replace(QStringLiteral("%2F"), QStringLiteral("/"))
        .replace(QStringLiteral("%25"), QStringLiteral("%"));
}

} // namespace

NearLimitAlerts::NearLimitAlerts(AccountStores* stores, UsageStore* store, Prefs* prefs,
                                 Notifications* notifications, QObject* parent)
    : QObject(parent)
    , stores_(stores)
    , store_(store)
    , prefs_(prefs)
    , notifications_(notifications) {
    // The limits are assigned by good readings only: a failed one tells nothing.
    connect(store_, &UsageStore::limitsChanged, this, &NearLimitAlerts::readingApplied);
    // A bubble that has gone is not replaced: the next notice pops up anew.
    connect(notifications_, &Notifications::closed, this, [this](uint id) {
        bubbles_.removeIf([id](const auto& b) { return b.value() == id; });
    });
}

QString NearLimitAlerts::groupOf(const QString& configDir) {
    return configDir.isEmpty() ? kGroup : kGroup + u'/' + key(configDir);
}

Alerts::Marks NearLimitAlerts::load(const QString& group) {
    Alerts::Marks marks;
    for (const QString& k : Settings::keys(group)) {
        const QStringList v = Settings::value(group + u'/' + k).toStringList();
        Alerts::Mark m{v.value(0).toInt(), std::nullopt};
        if (!v.value(1).isEmpty())
            m.window = Sense::instant(v.value(1).toDouble() / 1000);
        marks.insert(title(k), m);
    }
    return marks;
}

void NearLimitAlerts::save(const QString& group, const Alerts::Marks& marks) {
    // One write for all of them: a write per mark would hold up the UI as marks add up.
    QVariantMap values;
    for (auto it = marks.begin(); it != marks.end(); ++it) {
        const auto window = it->window;
        values.insert(
            key(it.key()),
            QStringList{QString::number(it->band),
                        window
                            ? QString::number(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                  window->time_since_epoch())
                                                  .count())
                            : QString()});
    }
    Settings::replaceGroup(group, values);
}

void NearLimitAlerts::readingApplied() {
    if (!prefs_->notifyNearLimits())
        return; // nothing sent, nothing recorded
    const qsizetype at = stores_->stores().indexOf(store_);
    if (at < 0)
        return; // its account is being removed
    const Account& account = stores_->accounts()[at];
    const QString group = groupOf(account.configDir);
    const QString name = stores_->stores().size() > 1 ? account.name : QString();
    const Alerts::Marks before = load(group);
    // Only for the limits the panel shows: a tool that prints a thousand limits gets no more
    // notices, marks or work than twelve.
    const QList<Limit> shown = store_->limits().first(
        std::min<qsizetype>(store_->limits().size(), UsageContent::kMaxRows));
    // Where the pace leads, and what used the limit most: the pace's own notice.
    QMap<QString, Alerts::Ahead> ahead;
    QMap<QString, QString> usedBy;
    const Instant now = store_->now();
    for (const Limit& l : shown)
        if (const auto r = Pace::runsOut(l, store_->samples(l.title), now))
            ahead.insert(l.title, {now + r->in, r->beforeReset});
    if (Shares* shares = stores_->shares())
        for (const Limit& l : shown)
            usedBy.insert(l.title,
                          Transcript::summary(shares->of(account.folder()).ofRow(l.title), 1));
    const Alerts::Step step = Alerts::decide(shown, before, now, name, ahead, usedBy);
    for (const QString& limit : step.closes)
        if (bubbles_.contains(limit))
            notifications_->close(bubbles_.take(limit));
    for (const Alerts::Notice& n : step.notices) {
        double percent = 0;
        for (const Limit& l : store_->limits())
            if (l.title == n.limit)
                percent = l.percent;
        const Notifications::Bubble bubble{n.summary, n.body, n.urgency, bubbles_.value(n.limit),
                                           AppIcon::badge(percent, 64)};
        QPointer<NearLimitAlerts> self(this);
        const auto it = step.marks.find(n.limit), had = before.find(n.limit);
        const Alerts::Mark mark = it != step.marks.end() ? *it : Alerts::Mark{};
        const int band = mark.band, was = had != before.end() ? had->band : 0;
        const qint64 window =
            mark.window
                ? std::chrono::duration_cast<std::chrono::seconds>(mark.window->time_since_epoch())
                      .count()
                : 0;
        notifications_->notify(bubble, [self, group, limit = n.limit, band, was, window](uint id) {
            if (!self)
                return;
            if (id) {
                self->bubbles_.insert(limit, id);
                return;
            }
            // Not shown: the band is told again at the next reading, until it is shown (a
            // service that refuses for good is not asked for ever).
            if (++self->refused_[{group, limit, band, window}] > kTries)
                return;
            Alerts::Marks marks = load(group);
            if (marks.contains(limit) && marks[limit].band == band) {
                marks[limit].band = was;
                save(group, marks);
            }
        });
    }
    if (step.marks != before)
        save(group, step.marks);
}

#include "Alerts.h"

#include "Pace.h"
#include "usage/Fmt.h"
#include "usage/Level.h"
#include "usage/Percent.h"
#include "usage/Text.h"

#include <QSet>

namespace Alerts {

namespace {

constexpr int kSummary = 40;           // characters a notification daemon shows of a summary
constexpr double kForgetAfter = 86400; // seconds after its window a mark is kept

QString body(const Limit& l, Instant now) {
    if (l.resetsAt)
        return Fmt::resetsIn(*l.resetsAt, now);
    return l.resetText.value_or(QString());
}

// "Claude <title><what>" or "<account>: <title><what>", the title cut short where the whole
// would be cut by the daemon; the body then starts with the whole title.
QString summaryName(const Limit& l, const QString& account) {
    return (account.isEmpty() ? QStringLiteral("Claude ") : account + QStringLiteral(": ")) +
           Text::lower(l.title);
}

Notice notice(const Limit& l, const QString& what, Urgency urgency, Instant now,
              const QString& account) {
    const QString name = summaryName(l, account);
    if (name.size() + what.size() <= kSummary)
        return {l.title, name + what, body(l, now), urgency};
    return {l.title, Text::capped(name, kSummary - 1 - int(what.size())) + what,
            l.title + u'\n' + body(l, now), urgency};
}

} // namespace

Step decide(const QList<Limit>& limits, const Marks& marks, Instant now, const QString& account,
            const QMap<QString, Ahead>& runsOut, const QMap<QString, QString>& usedBy) {
    Step step{{}, {}, marks};
    for (const Limit& l : limits) {
        const Level level = levelOf(l.percent);
        const QString percent = roundedPercent(l.percent) + u'%';
        Mark& mark = step.marks[l.title];
        const Mark before = mark;
        if (Pace::sameWindow(l.title, mark.window, l.resetsAt, now)) {
            mark.window = l.resetsAt; // follows a reset that drifts
        } else {
            mark = Mark{0, l.resetsAt};
            if (before.band > 0 && level == Level::Normal) {
                step.closes << l.title;
                if (before.band >= levelStart(Level::Danger)) {
                    step.notices << notice(l, QStringLiteral(" is back to ") + percent,
                                           Urgency::Normal, now, account);
                    continue;
                }
            }
        }
        const int crossed = levelStart(level);
        const auto ahead = runsOut.find(l.title);
        if (crossed <= mark.band) {
            if (mark.band == 0 && l.percent >= kPaceFrom && ahead != runsOut.end() &&
                ahead->beforeReset >= kPaceAhead) {
                mark.band = kPaceBand;
                // "at this pace" goes to the body where the summary would lose its name.
                const QString what =
                    QStringLiteral(" runs out at ") + Fmt::clock(ahead->runsOut, now);
                const QString pace = QStringLiteral(" at this pace");
                const bool fits =
                    summaryName(l, account).size() + what.size() + pace.size() <= kSummary;
                Notice n = notice(l, fits ? what + pace : what, Urgency::Normal, now, account);
                QStringList body{usedBy.value(l.title), n.body};
                if (!fits)
                    body.prepend(QStringLiteral("At this pace"));
                body.removeAll(QString());
                n.body = body.join(u'\n');
                step.notices << n;
            }
            continue;
        }
        mark.band = crossed;
        step.notices << (level == Level::Reached ? notice(l, QStringLiteral(" limit reached"),
                                                          Urgency::Critical, now, account)
                                                 : notice(l, QStringLiteral(" at ") + percent,
                                                          Urgency::Normal, now, account));
    }
    // What was told of a window over a day ago, or of a limit gone that had no reset, is of no
    // more use: marks do not pile up.
    QSet<QString> read;
    for (const Limit& l : limits)
        read.insert(l.title);
    step.marks.removeIf([&](const Marks::iterator& it) {
        return it->window ? *it->window < now - kForgetAfter : !read.contains(it.key());
    });
    return step;
}

} // namespace Alerts

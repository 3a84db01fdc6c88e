#include "Alerts.h"

#include "Window.h"
#include "usage/Fmt.h"
#include "usage/Level.h"
#include "usage/Percent.h"
#include "usage/Text.h"

namespace Alerts {

namespace {

QString body(const Limit& l, Instant now) {
    if (l.resetsAt)
        return Fmt::resetsIn(*l.resetsAt, now);
    return l.resetText.value_or(QString());
}

} // namespace

Step decide(const QList<Limit>& limits, const Marks& marks, Instant now) {
    Step step{{}, {}, marks};
    for (const Limit& l : limits) {
        const Level level = levelOf(l.percent);
        const QString percent = roundedPercent(l.percent) + u'%';
        const QString name = QStringLiteral("Claude ") + Text::lower(l.title);
        Mark& mark = step.marks[l.title];
        const Mark before = mark;
        if (sameWindow(mark.window, l.resetsAt)) {
            mark.window = l.resetsAt; // follows a reset read a minute later
        } else {
            mark = Mark{0, l.resetsAt};
            if (before.band > 0 && level == Level::Normal) {
                step.closes << l.title;
                if (before.band >= levelStart(Level::Danger))
                    step.notices << Notice{l.title, name + QStringLiteral(" is back to ") + percent,
                                           body(l, now), Urgency::Low};
                continue;
            }
        }
        const int crossed = levelStart(level);
        if (crossed <= mark.band)
            continue;
        mark.band = crossed;
        step.notices << (level == Level::Reached
                             ? Notice{l.title, name + QStringLiteral(" limit reached"),
                                      body(l, now), Urgency::Critical}
                             : Notice{l.title, name + QStringLiteral(" at ") + percent,
                                      body(l, now), Urgency::Normal});
    }
    return step;
}

} // namespace Alerts

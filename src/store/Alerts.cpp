#include "Alerts.h"

#include "usage/Fmt.h"
#include "usage/Percent.h"
#include "usage/Text.h"

#include <cmath>

namespace Alerts {

namespace {

QString body(const Limit& l, Instant now) {
    if (l.resetsAt)
        return Fmt::resetsIn(*l.resetsAt, now);
    return l.resetText.value_or(QString());
}

} // namespace

Step decide(const QList<Limit>& limits, const Marks& marks, Instant now) {
    Step step{{}, marks};
    for (const Limit& l : limits) {
        // Rounded as the rows show it: 79.5 reads 80 % and warns.
        const double shown = std::round(l.percent);
        const QString percent = roundedPercent(l.percent) + u'%';
        const QString name = QStringLiteral("Claude ") + Text::lower(l.title);
        Mark& mark = step.marks[l.title];
        const Mark before = mark;
        if (mark.window != l.resetsAt)
            mark = Mark{0, l.resetsAt};
        if (before.band >= 95 && shown < 80) {
            step.notices << Notice{name + QStringLiteral(" is back to ") + percent, body(l, now),
                                   Urgency::Low};
            mark.band = 0;
            continue;
        }
        int crossed = 0;
        for (int band : kBands)
            if (shown >= band && band > mark.band)
                crossed = band;
        if (!crossed)
            continue;
        mark.band = crossed;
        step.notices << (crossed == 100 ? Notice{name + QStringLiteral(" limit reached"),
                                                 body(l, now), Urgency::Critical}
                                        : Notice{name + QStringLiteral(" at ") + percent,
                                                 body(l, now), Urgency::Normal});
    }
    return step;
}

} // namespace Alerts

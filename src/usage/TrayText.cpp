#include "TrayText.h"

#include "usage/Fmt.h"
#include "usage/Percent.h"
#include "usage/Text.h"

namespace {
constexpr int kTipLength = 300; // characters of an error in the tooltip
constexpr int kMenuLength = 80; // characters of an error in the menu: one line of a menu

QString limitLine(const Limit& l, Instant now) {
    QString line =
        l.title + QStringLiteral(": ") + roundedPercent(l.percent) + QStringLiteral("% used");
    if (l.resetsAt && *l.resetsAt > now)
        line += QStringLiteral(", resets in ") + Fmt::countdown(*l.resetsAt, now);
    return line;
}
} // namespace

TrayText trayText(const std::optional<Limit>& session, bool isLoading,
                  const std::optional<QString>& error, Instant now) {
    const QString name = QStringLiteral("Claude usage");
    if (!session) {
        const QString tip = error ? Text::capped(*error, kTipLength) : name;
        return {isLoading ? QStringLiteral(" ...") : QStringLiteral(" -"), tip,
                isLoading ? name + QStringLiteral(": reading")
                : error   ? name + QStringLiteral(": ") + tip
                          : name};
    }
    const QString p = roundedPercent(session->percent);
    TrayText t{u' ' + p + u'%', limitLine(*session, now),
               name + QStringLiteral(": ") + Text::lower(session->title) + u' ' + p + u'%'};
    if (session->resetsAt && *session->resetsAt > now) {
        const QString left = Fmt::countdown(*session->resetsAt, now);
        t.label += QStringLiteral(" · ") + left;
        t.description += QStringLiteral(", resets in ") + left;
    }
    return t;
}

QStringList trayMenuLines(const QList<MenuAccount>& accounts, Instant now, qsizetype maxLimits) {
    QStringList lines;
    for (const MenuAccount& a : accounts) {
        const QString prefix = accounts.size() > 1 ? a.name + QStringLiteral(" · ") : QString();
        if (a.limits.isEmpty()) {
            lines << prefix + (a.isLoading ? QStringLiteral("Reading…")
                               : a.error ? Text::capped(a.error->section(u'\n', 0, 0), kMenuLength)
                                         : QStringLiteral("No reading yet"));
            continue;
        }
        for (const Limit& l : a.limits.first(std::min(a.limits.size(), maxLimits)))
            lines << prefix + limitLine(l, now);
    }
    return lines;
}

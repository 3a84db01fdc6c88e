#include "TrayText.h"

#include "usage/Fmt.h"
#include "usage/Percent.h"
#include "usage/Text.h"

namespace {
constexpr int kTipLength = 300; // characters of an error in the tooltip
}

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
    TrayText t{u' ' + p + u'%',
               session->title + QStringLiteral(": ") + p + QStringLiteral("% used"),
               name + QStringLiteral(": ") + Text::lower(session->title) + u' ' + p + u'%'};
    if (session->resetsAt && *session->resetsAt > now) {
        const QString left = Fmt::countdown(*session->resetsAt, now);
        t.label += QStringLiteral(" · ") + left;
        t.toolTip += QStringLiteral(", resets in ") + left;
        t.description += QStringLiteral(", resets in ") + left;
    }
    return t;
}

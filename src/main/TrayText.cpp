#include "TrayText.h"

#include "usage/Fmt.h"
#include "usage/Percent.h"
#include "usage/Text.h"

namespace {
constexpr int kTipLength = 300; // characters of an error in the tooltip
}

TrayText trayText(const std::optional<Limit>& session, bool isLoading,
                  const std::optional<QString>& error, Instant now) {
    if (!session)
        return {isLoading ? QStringLiteral(" ...") : QStringLiteral(" -"),
                error ? Text::capped(*error, kTipLength) : QStringLiteral("Claude usage")};
    const QString p = roundedPercent(session->percent);
    TrayText t{u' ' + p + u'%',
               session->title + QStringLiteral(": ") + p + QStringLiteral("% used")};
    if (session->resetsAt && *session->resetsAt > now) {
        const QString left = Fmt::countdown(*session->resetsAt, now);
        t.label += QStringLiteral(" · ") + left;
        t.toolTip += QStringLiteral(", resets in ") + left;
    }
    return t;
}

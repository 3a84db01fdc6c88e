// "status.txt": what the last reading found, for whoever diagnoses the app.

#include "UsageStore.h"

#include "platform/Files.h"
#include "usage/Percent.h"
#include "usage/Text.h"
#include "usage/UsageParser.h"

#include <QDateTime>
#include <QTimeZone>

#include <cmath>

namespace {

constexpr int kExcerptLength = 800; // user-perceived characters of the tool's output

// ISO 8601 in UTC with whole seconds: 2025-10-10T22:19:00Z.
QString timestamp(Instant t) {
    const auto ms = std::chrono::floor<std::chrono::seconds>(t).time_since_epoch();
    return QDateTime::fromSecsSinceEpoch(ms.count(), QTimeZone::utc())
        .toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss'Z'"));
}

} // namespace

QString UsageStore::statusText(Instant now, const std::optional<QString>& error,
                               const QList<Limit>& limits, const QString& raw) {
    QStringList lines{QStringLiteral("checked: ") + timestamp(now)};
    if (error)
        lines << QStringLiteral("error: ") + *error;
    for (const Limit& l : limits) {
        const QString reset = l.resetsAt    ? timestamp(*l.resetsAt)
                              : l.resetText ? *l.resetText
                                            : QStringLiteral("?");
        lines << l.title + QStringLiteral(": ") + roundedPercent(l.percent) +
                     QStringLiteral("% - resets ") + reset;
    }
    if (error && !raw.isEmpty())
        lines << QStringLiteral("--- claude output ---\n") +
                     Text::firstCharacters(UsageParser::clean(raw), kExcerptLength);
    return lines.join(u'\n') + u'\n';
}

void UsageStore::writeStatus(const QString& raw) {
    // Best effort: a missing folder or a failed write changes nothing else. The folder is
    // made by the tool runner, not here.
    if (deps_.persist)
        Files::write(deps_.statusFile, statusText(now_, error_, limits_, raw).toUtf8());
}

// What the last reading found, written down after each one: "status.txt" for whoever
// diagnoses the app, and "usage.json" for status bars and scripts.

#include "UsageStore.h"

#include "cli/AppInfo.h"
#include "platform/Files.h"
#include "usage/Fmt.h"
#include "usage/Percent.h"
#include "usage/Text.h"
#include "usage/UsageParser.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace {

constexpr int kExcerptLength = 800; // user-perceived characters of the tool's output

QString timestamp(Instant t) {
    return Fmt::isoUtc(t);
}

QJsonValue orNull(const std::optional<QString>& s) {
    return s ? QJsonValue(*s) : QJsonValue(QJsonValue::Null);
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

QByteArray UsageStore::usageJson(Instant checkedAt, std::optional<Instant> updatedAt,
                                 const std::optional<QString>& error, const QList<Limit>& limits) {
    // Bounded, so that the file stays well under what its readers take (a megabyte): a tool
    // that prints thousands of limits does not make a file nobody can read.
    QJsonArray rows;
    for (const Limit& l : limits.first(std::min<qsizetype>(limits.size(), kUsageJsonLimits)))
        rows.append(QJsonObject{
            {QStringLiteral("title"), l.title},
            {QStringLiteral("label"), l.rawLabel},
            {QStringLiteral("percent"), l.percent},
            {QStringLiteral("resetsAt"),
             orNull(l.resetsAt ? std::optional(timestamp(*l.resetsAt)) : std::nullopt)},
            {QStringLiteral("resetText"), orNull(l.resetText)},
        });
    const QJsonObject file{
        {QStringLiteral("version"), 1},
        {QStringLiteral("app"), AppInfo::name() + u' ' + AppInfo::version()},
        {QStringLiteral("updatedAt"),
         orNull(updatedAt ? std::optional(timestamp(*updatedAt)) : std::nullopt)},
        {QStringLiteral("checkedAt"), timestamp(checkedAt)},
        {QStringLiteral("error"), orNull(error)},
        {QStringLiteral("limits"), rows},
    };
    return QJsonDocument(file).toJson(QJsonDocument::Compact) + '\n';
}

void UsageStore::record(const QString& raw) {
    // Best effort: a missing folder or a failed write changes nothing else. The folder is
    // made by the tool runner, not here.
    if (!deps_.persist)
        return;
    Files::write(deps_.statusFile, statusText(now_, error_, limits_, raw).toUtf8());
    Files::write(deps_.usageFile, usageJson(now_, updatedAt_, error_, limits_));
}

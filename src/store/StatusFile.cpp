// What the last reading found, written down after each one: "status.txt" for whoever
// diagnoses the app, and "usage.json" (through its own unit) for status bars and scripts.

#include "UsageFile.h"
#include "UsageStore.h"

#include "files/Files.h"
#include "usage/Fmt.h"
#include "usage/Percent.h"
#include "usage/Text.h"
#include "usage/UsageParser.h"

namespace {

constexpr int kExcerptLength = 800; // user-perceived characters of the tool's output

QString timestamp(Instant t) {
    return Fmt::isoUtc(t);
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

UsageFile::Snapshot UsageStore::snapshot() const {
    return {updatedAt_, checkedAt_.value_or(now_), error_, limits_,
            source_ == Source::StatusLine ? QStringLiteral("statusline") : QStringLiteral("tool")};
}

void UsageStore::record(const QString& raw) {
    checkedAt_ = now_;
    // Best effort: a missing folder or a failed write changes nothing else. The folder is
    // made by the tool runner, not here. A store given no files (a rendering's) writes none.
    if (!deps_.statusFile.isEmpty())
        Files::write(deps_.statusFile, statusText(now_, error_, limits_, raw).toUtf8());
    if (!deps_.usageFile.isEmpty())
        Files::write(deps_.usageFile, UsageFile::encode(snapshot()));
    emit recorded();
}

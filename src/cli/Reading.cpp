#include "Reading.h"

#include "files/Account.h"
#include "files/Files.h"
#include "usage/Sense.h"
#include "usage/Text.h"
#include "usage/UsageParser.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {
constexpr qsizetype kQuoted = 120; // characters of a line quoted in an error
constexpr qint64 kMaxSettings = 1 << 20;

// Which of the two causes of a screen without figures holds. The environment Brimwatch gives
// the tool never holds the switch, so the tool's own settings are where it can be: their
// "env", where any value but an empty one switches the usage request off.
QString noFigures(const QString& configDir) {
    const QString path = Account{{}, configDir}.folder() + QStringLiteral("/settings.json");
    // Qt's parser takes a byte-order mark in its stride.
    const QJsonValue value = QJsonDocument::fromJson(Files::readRegular(path, kMaxSettings).data)
                                 .object()
                                 .value(QStringLiteral("env"))
                                 .toObject()
                                 .value(QString::fromUtf16(kTrafficSwitch));
    const bool off =
        value.isString() ? !value.toString().isEmpty() : value.isBool() || value.isDouble();
    if (!off)
        return QString::fromUtf16(kUsageNotFetched);
    return QStringLiteral("Claude Code doesn't fetch usage while %1 is set in the \"env\" of %2. "
                          "Remove it there, then press Refresh.")
        .arg(QString::fromUtf16(kTrafficSwitch), path);
}

} // namespace

Reading Reading::of(const ToolRun& run, Instant now) {
    Reading r;
    r.folderProblem = run.folderProblem;
    if (const auto* error = std::get_if<CLIError>(&run.result)) {
        r.error = error->message;
        return r;
    }
    r.output = std::get<QString>(run.result);
    r.limits = UsageParser::parse(r.output, now);
    // A figure no limit is ever read at: the whole reading is refused, with the line.
    for (const Limit& l : std::as_const(r.limits))
        if (const auto problem = Sense::percentProblem(l.percent)) {
            QString line = l.rawLabel;
            Text::forEachLine(UsageParser::clean(r.output), [&](QStringView text) {
                if (line == l.rawLabel && text.contains(l.rawLabel))
                    line = Text::trimBlank(text.toString());
            });
            if (line.size() > kQuoted)
                line = line.left(kQuoted - 1) + u'…';
            r.limits.clear();
            r.error = QStringLiteral("Claude Code printed a figure Brimwatch can't use (%1): "
                                     "\u201C%2\u201D. It will try again in a moment.")
                          .arg(*problem, line);
            return r;
        }
    // A tool stopped for hanging may still have said why (a login, a network error).
    if (r.limits.isEmpty())
        r.error = run.stopped && !UsageParser::explains(r.output)
                      ? QString::fromUtf16(kNoAnswerInTime)
                      : UsageParser::explain(r.output);
    if (r.error == QString::fromUtf16(UsageParser::kNoFigures))
        r.error = noFigures(run.configDir);
    // Another account logs in with its own folder: the advice says how.
    if (r.error && !run.configDir.isEmpty())
        r.error->replace(QStringLiteral("type claude,"),
                         QStringLiteral("type CLAUDE_CONFIG_DIR=%1 claude,").arg(run.configDir));
    return r;
}

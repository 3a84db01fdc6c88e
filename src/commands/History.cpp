#include "History.h"

#include "Parse.h"
#include "files/Paths.h"
#include "store/HistoryDb.h"
#include "usage/Fmt.h"

#include <QCoreApplication>
#include <QDateTime>

namespace HistoryCommand {

Report text(const QString& file, int days, bool csv, Instant now) {
    const HistoryDb db(file, true); // beside the running app: read, never mend
    if (db.isMissing())
        return {
            QStringLiteral("no history yet: Brimwatch keeps one from its first reading\n"), {}, 1};
    if (!db.isOpen())
        return {{}, QStringLiteral("brimwatch: can't read %1: %2\n").arg(file, db.problem()), 2};
    const QList<Sample> rows = db.since(now - 86400.0 * days);
    const auto local = [](Instant t) {
        return QDateTime::fromSecsSinceEpoch(
                   std::chrono::floor<std::chrono::seconds>(t).time_since_epoch().count())
            .toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    };
    const auto quoted = [](QString s) { // a CSV field, quoted when it must be
        return s.contains(u',') || s.contains(u'"') || s.contains(u'\n')
                   ? u'"' + s.replace(u'"', QStringLiteral("\"\"")) + u'"'
                   : s;
    };
    QStringList lines;
    if (csv) {
        lines << QStringLiteral("at,title,label,percent,resets_at,reset_text");
        for (const Sample& s : rows)
            lines << QStringList{Fmt::isoUtc(s.at),
                                 quoted(s.title),
                                 quoted(s.label),
                                 QString::number(s.percent),
                                 s.resetsAt ? Fmt::isoUtc(*s.resetsAt) : QString(),
                                 quoted(s.resetText.value_or(QString()))}
                         .join(u',');
        return {lines.join(u'\n') + u'\n', {}, 0};
    }
    if (rows.isEmpty())
        return {QStringLiteral("no readings in the last %1 days\n").arg(days), {}, 0};
    int title = 5;
    for (const Sample& s : rows)
        title = std::max(title, int(s.title.size()));
    lines << QStringLiteral("%1  %2  %3  %4")
                 .arg(QStringLiteral("Read at"), -16)
                 .arg(QStringLiteral("Limit"), -title)
                 .arg(QStringLiteral("Used"), 7)
                 .arg(QStringLiteral("Resets"));
    for (const Sample& s : rows)
        lines << QStringLiteral("%1  %2  %3  %4")
                     .arg(local(s.at), -16)
                     .arg(s.title, -title)
                     .arg(ParseCommand::formatPercent(s.percent) + u'%', 7)
                     .arg(s.resetsAt ? local(*s.resetsAt)
                                     : s.resetText.value_or(QStringLiteral("-")));
    return {lines.join(u'\n') + u'\n', {}, 0};
}

int run(const Options::Invocation& args, int argc, char** argv) {
    QCoreApplication app(argc, argv); // the SQLite driver is a plugin
    const auto d = args.after(QStringLiteral("--days"));
    const int days = d ? d->toInt() : 7;
    if (days <= 0) {
        writeText(stderr, QStringLiteral("brimwatch: --days takes a number of days\n"));
        return 2;
    }
    return print(text(Paths::historySqlite(), days, args.has(QStringLiteral("--csv")),
                      std::chrono::system_clock::now()));
}

} // namespace HistoryCommand

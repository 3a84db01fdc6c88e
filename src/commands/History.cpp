#include "History.h"

#include "Parse.h"
#include "files/Paths.h"
#include "prefs/AccountList.h"
#include "store/HistoryDb.h"
#include "usage/Fmt.h"

#include <QCoreApplication>
#include <QDateTime>

namespace HistoryCommand {

Report text(const QString& file, int days, bool csv, Instant now, const QList<Account>& accounts,
            const std::optional<Account>& only) {
    const HistoryDb db(file, true); // beside the running app: read, never mend
    if (db.isMissing())
        return {
            QStringLiteral("no history yet: Brimwatch keeps one from its first reading\n"), {}, 1};
    if (!db.isOpen())
        return {{}, QStringLiteral("brimwatch: can't read %1: %2\n").arg(file, db.problem()), 2};
    const QList<Sample> rows =
        db.since(now - 86400.0 * days, only ? std::optional(only->configDir) : std::nullopt);
    const auto nameOf = [&accounts](const QString& folder) {
        for (const Account& a : accounts)
            if (a.configDir == folder)
                return a.name;
        return folder.isEmpty() ? QStringLiteral("(default)") : folder;
    };
    const bool several = std::any_of(rows.begin(), rows.end(), [&rows](const Sample& s) {
        return s.account != rows.first().account;
    });
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
        lines << QStringLiteral("at,title,label,percent,resets_at,reset_text") +
                     (several ? QStringLiteral(",account") : QString());
        for (const Sample& s : rows) {
            QStringList fields{Fmt::isoUtc(s.at),
                               quoted(s.title),
                               quoted(s.label),
                               QString::number(s.percent),
                               s.resetsAt ? Fmt::isoUtc(*s.resetsAt) : QString(),
                               quoted(s.resetText.value_or(QString()))};
            if (several)
                fields << quoted(nameOf(s.account));
            lines << fields.join(u',');
        }
        return {lines.join(u'\n') + u'\n', {}, 0};
    }
    if (rows.isEmpty())
        return {QStringLiteral("no readings in the last %1 days\n").arg(days), {}, 0};
    int title = 5, account = 7;
    for (const Sample& s : rows) {
        title = std::max(title, int(s.title.size()));
        account = std::max(account, int(nameOf(s.account).size()));
    }
    const auto accountColumn = [&](const QString& name) {
        return several ? QStringLiteral("%1  ").arg(name, -account) : QString();
    };
    lines << accountColumn(QStringLiteral("Account")) + QStringLiteral("%1  %2  %3  %4")
                                                            .arg(QStringLiteral("Read at"), -16)
                                                            .arg(QStringLiteral("Limit"), -title)
                                                            .arg(QStringLiteral("Used"), 7)
                                                            .arg(QStringLiteral("Resets"));
    for (const Sample& s : rows)
        lines << accountColumn(nameOf(s.account)) +
                     QStringLiteral("%1  %2  %3  %4")
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
    const QList<Account> accounts = AccountList::load().accounts;
    std::optional<Account> only;
    if (const auto name = args.after(QStringLiteral("--account"))) {
        only = AccountList::named(accounts, *name);
        if (!only) {
            QStringList names;
            for (const Account& a : accounts)
                names << a.name;
            writeText(stderr, QStringLiteral("brimwatch: there is no account named %1 (there are "
                                             "%2)\n")
                                  .arg(*name, names.join(QStringLiteral(", "))));
            return 2;
        }
    }
    return print(text(Paths::historySqlite(), days, args.has(QStringLiteral("--csv")),
                      std::chrono::system_clock::now(), accounts, only));
}

} // namespace HistoryCommand

#include "Breakdown.h"

#include "files/Paths.h"
#include "prefs/AccountList.h"
#include "store/UsageFile.h"
#include "transcripts/Index.h"
#include "usage/Fmt.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace BreakdownCommand {

using Transcript::By;
using Transcript::Row;

namespace {

const char* const kEstimate = "an estimate from Claude Code's transcripts";

QString local(Instant t) {
    return QDateTime::fromMSecsSinceEpoch(
               std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count())
        .toString(QStringLiteral("MMM d, HH:mm"));
}

QString percent(double share) {
    return QString::number(share * 100, 'f', 1) + u'%';
}

QString csvField(QString s) {
    return s.contains(u',') || s.contains(u'"') || s.contains(u'\n')
               ? u'"' + s.replace(u'"', QStringLiteral("\"\"")) + u'"'
               : s;
}

int fail(const QString& why) {
    writeText(stderr, QStringLiteral("brimwatch: ") + why + u'\n');
    return 2;
}

} // namespace

Report report(const QString& account, const Transcript::Window& window, By by, Format format,
              const QList<Row>& rows) {
    const int status = rows.isEmpty() ? 1 : 0;
    const QString what = by == By::Project ? QStringLiteral("Project")
                         : by == By::Model ? QStringLiteral("Model")
                                           : QStringLiteral("Session");
    if (format == Format::Json) {
        QJsonArray list;
        for (const Row& r : rows)
            list.append(QJsonObject{{QStringLiteral("key"), r.key},
                                    {QStringLiteral("name"), r.name},
                                    {QStringLiteral("messages"), r.messages},
                                    {QStringLiteral("inputTokens"), r.input},
                                    {QStringLiteral("outputTokens"), r.output},
                                    {QStringLiteral("cacheWriteTokens"), r.cacheWrite},
                                    {QStringLiteral("cacheReadTokens"), r.cacheRead},
                                    {QStringLiteral("weight"), r.weight},
                                    {QStringLiteral("share"), r.share},
                                    {QStringLiteral("limitPercent"),
                                     r.limitPercent ? QJsonValue(*r.limitPercent) : QJsonValue()}});
        const QJsonObject doc{
            {QStringLiteral("account"), account},
            {QStringLiteral("window"),
             QJsonObject{{QStringLiteral("name"), window.name},
                         {QStringLiteral("from"), Fmt::isoUtc(window.from)},
                         {QStringLiteral("to"), Fmt::isoUtc(window.to)},
                         {QStringLiteral("limitPercent"),
                          window.limitPercent ? QJsonValue(*window.limitPercent) : QJsonValue()}}},
            {QStringLiteral("estimate"), true},
            {QStringLiteral("rows"), list}};
        return {QString::fromUtf8(QJsonDocument(doc).toJson(QJsonDocument::Compact)) + u'\n',
                {},
                status};
    }
    if (format == Format::Csv) {
        QString out = QStringLiteral("key,name,messages,input_tokens,output_tokens,"
                                     "cache_write_tokens,cache_read_tokens,weight,share,"
                                     "limit_percent\n");
        for (const Row& r : rows)
            out +=
                QStringList{csvField(r.key),
                            csvField(r.name),
                            QString::number(r.messages),
                            QString::number(r.input),
                            QString::number(r.output),
                            QString::number(r.cacheWrite),
                            QString::number(r.cacheRead),
                            QString::number(r.weight, 'f', 1),
                            QString::number(r.share, 'f', 4),
                            r.limitPercent ? QString::number(*r.limitPercent, 'f', 1) : QString()}
                    .join(u',') +
                u'\n';
        return {out, {}, status};
    }
    QString out = QStringLiteral("%1 · %2, %3 to %4")
                      .arg(account, window.name, local(window.from), local(window.to));
    if (window.limitPercent)
        out += QStringLiteral(" · %1% used").arg(std::lround(*window.limitPercent));
    out += QStringLiteral(" · ") + QLatin1StringView(kEstimate) + u'\n';
    if (rows.isEmpty())
        return {out + QStringLiteral("no replies in this window\n"), {}, status};
    int width = int(what.size());
    for (const Row& r : rows)
        width = std::max(width, int(r.name.size()));
    const auto line = [&](const QStringList& f) {
        QString l = QStringLiteral("%1").arg(f[0], -width);
        for (qsizetype i = 1; i < f.size(); ++i)
            l += QStringLiteral("  %1").arg(f[i], i < 6 ? 11 : 8);
        return l.trimmed() + u'\n';
    };
    out +=
        line({what, QStringLiteral("Messages"), QStringLiteral("Input"), QStringLiteral("Output"),
              QStringLiteral("Cache write"), QStringLiteral("Cache read"), QStringLiteral("Share"),
              QStringLiteral("Of limit")});
    for (const Row& r : rows)
        out += line({r.name, QString::number(r.messages), QString::number(r.input),
                     QString::number(r.output), QString::number(r.cacheWrite),
                     QString::number(r.cacheRead), percent(r.share),
                     r.limitPercent ? QString::number(*r.limitPercent, 'f', 1) + u'%'
                                    : QStringLiteral("-")});
    return {out, {}, status};
}

int run(const Options::Invocation& args, int argc, char** argv) {
    QCoreApplication app(argc, argv); // the SQLite driver is a plugin
    const Instant now = std::chrono::system_clock::now();
    const QString windowName = args.after(QStringLiteral("--window")).value_or(u"session"_qs);
    const QString byName = args.after(QStringLiteral("--by")).value_or(u"project"_qs);
    const std::optional<By> by = byName == u"project"   ? std::optional(By::Project)
                                 : byName == u"model"   ? std::optional(By::Model)
                                 : byName == u"session" ? std::optional(By::Session)
                                                        : std::nullopt;
    if (!by)
        return fail(QStringLiteral("--by takes project, model or session"));
    const QList<Account> accounts = AccountList::load().accounts;
    Account account = accounts.value(0);
    if (const auto name = args.after(QStringLiteral("--account"))) {
        const auto named = AccountList::named(accounts, *name);
        if (!named)
            return fail(QStringLiteral("there is no account named %1").arg(*name));
        account = *named;
    }
    // The limits' windows are the app's last reading of the account.
    const UsageFile::File file =
        UsageFile::forAccount(UsageFile::read(Paths::usageJson(), now),
                              accounts.size() > 1 ? std::optional(account.name) : std::nullopt);
    const QList<Limit> limits = file.snapshot ? file.snapshot->limits : QList<Limit>();
    const auto window = Transcript::window(windowName, limits, now);
    if (!window)
        return fail(QStringLiteral("--window takes session, week, or a number of days from 1 to "
                                   "%1 and d (7d)")
                        .arg(Transcript::kMaxDays));

    Transcript::Index index(Paths::transcriptsSqlite());
    if (!index.isOpen())
        return fail(
            QStringLiteral("can't use %1: %2").arg(Paths::transcriptsSqlite(), index.problem()));
    QList<Transcript::Index::Source> sources;
    for (const Account& a : accounts)
        sources << Transcript::Index::Source::of(a.folder());
    const Transcript::Index::Report done = index.update(sources);
    if (done.failed)
        return fail(
            QStringLiteral("can't update %1: %2").arg(Paths::transcriptsSqlite(), *done.failed));
    if (const QString why = done.unlisted.value(account.folder()); !why.isEmpty())
        return fail(QStringLiteral("can't read the transcripts: ") + why);
    for (const QString& problem : done.problems) // another account's, or one file's
        writeText(stderr, QStringLiteral("brimwatch: ") + problem + u'\n');
    if (done.malformed || done.absurd)
        writeText(stderr, QStringLiteral("brimwatch: skipped %1 unreadable lines and %2 with "
                                         "counts that make no sense\n")
                              .arg(done.malformed)
                              .arg(done.absurd));
    const Format format = args.has(QStringLiteral("--json"))  ? Format::Json
                          : args.has(QStringLiteral("--csv")) ? Format::Csv
                                                              : Format::Table;
    return print(
        report(account.name, *window, *by, format,
               Transcript::rows(index.replies(account.folder(), window->from, window->to, *by), *by,
                                *window)));
}

} // namespace BreakdownCommand

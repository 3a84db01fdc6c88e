#include "Status.h"

#include "Entry.h"
#include "TrayText.h"
#include "cli/ClaudeCLI.h"
#include "platform/Files.h"
#include "usage/Fmt.h"
#include "usage/Level.h"
#include "usage/Percent.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace Status {

namespace {

std::optional<Instant> instant(const QJsonValue& v) {
    const QDateTime t = QDateTime::fromString(v.toString(), Qt::ISODate);
    if (!t.isValid())
        return std::nullopt;
    return Instant(std::chrono::milliseconds(t.toMSecsSinceEpoch()));
}

QString age(const Snapshot& s, Instant now) {
    return s.updatedAt ? QStringLiteral("updated ") + Fmt::ago(*s.updatedAt, now) : QString();
}

bool fresh(const Snapshot& s, Instant now) {
    return !s.error && s.updatedAt && secondsBetween(*s.updatedAt, now) <= kStale;
}

} // namespace

QString usageFile() {
    return ClaudeCLI::supportDir() + QStringLiteral("/usage.json");
}

namespace {

// The file's fields, each of the type its layout says, or the first that is not.
class Fields {
public:
    std::optional<QString> problem;

    // A string that is a time, or null where null is allowed.
    std::optional<Instant> time(const QJsonObject& o, const char* key, bool nullable) {
        const QJsonValue v = o.value(QLatin1String(key));
        if (nullable && v.isNull())
            return std::nullopt;
        const auto t = v.isString() ? instant(v) : std::nullopt;
        if (!t)
            wrong(key, nullable ? "a time or null" : "a time");
        return t;
    }
    std::optional<QString> string(const QJsonObject& o, const char* key, bool nullable) {
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isString())
            return v.toString();
        if (!nullable || !v.isNull())
            wrong(key, nullable ? "a string or null" : "a string");
        return std::nullopt;
    }
    double number(const QJsonObject& o, const char* key, double from, double to) {
        const QJsonValue v = o.value(QLatin1String(key));
        if (!v.isDouble() || v.toDouble() < from || v.toDouble() > to)
            wrong(key, QStringLiteral("a number from %1 to %2").arg(from).arg(to).toUtf8());
        return v.toDouble();
    }
    void wrong(const char* key, const QByteArray& want) {
        if (!problem)
            problem =
                QStringLiteral("its %1 is not %2").arg(QLatin1String(key), QString::fromUtf8(want));
    }
};

constexpr double kMaxPercent = 1000; // more than any limit is ever read at: the file is wrong
constexpr double kFuture = 300;      // seconds a time may lie ahead, for clocks a little apart
constexpr qint64 kMaxBytes = 1 << 20;

} // namespace

File read(const QString& path, Instant now) {
    File f;
    const Files::Read r = Files::readRegular(path, kMaxBytes + 1);
    f.missing = r.missing;
    if (r.missing)
        return f;
    if (r.problem || r.data.size() > kMaxBytes) {
        f.problem = r.problem.value_or(QStringLiteral("it is over 1 MB"));
        return f;
    }
    f.json = r.data;
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(f.json, &error);
    const QJsonObject o = doc.object();
    if (error.error != QJsonParseError::NoError || !doc.isObject()) {
        f.problem = QStringLiteral("not JSON (%1)").arg(error.errorString());
        return f;
    }
    if (o.value(QStringLiteral("version")) != QJsonValue(1)) {
        f.problem = QStringLiteral("a layout this Brimwatch does not know (version %1)")
                        .arg(o.value(QStringLiteral("version")).toVariant().toString());
        return f;
    }
    Fields read;
    const auto checked = read.time(o, "checkedAt", false);
    Snapshot s{read.time(o, "updatedAt", true),
               checked.value_or(Instant()),
               read.string(o, "error", true),
               {}};
    if (!o.value(QStringLiteral("limits")).isArray())
        read.wrong("limits", "a list");
    for (const QJsonValue& v : o.value(QStringLiteral("limits")).toArray()) {
        if (!v.isObject())
            read.wrong("limits", "a list of limits");
        const QJsonObject l = v.toObject();
        s.limits << Limit{read.string(l, "label", false).value_or(QString()),
                          read.string(l, "title", false).value_or(QString()),
                          read.number(l, "percent", 0, kMaxPercent), read.time(l, "resetsAt", true),
                          read.string(l, "resetText", true)};
    }
    for (const auto& [key, t] : {std::pair{"checkedAt", checked}, {"updatedAt", s.updatedAt}})
        if (t && secondsBetween(now, *t) > kFuture && !read.problem)
            read.problem = QStringLiteral("its %1 is in the future").arg(QLatin1String(key));
    if (read.problem)
        f.problem = *read.problem;
    else
        f.snapshot = s;
    return f;
}

Report status(const File& file, Instant now, bool json) {
    const QString path = QFileInfo(usageFile()).filePath();
    if (file.missing)
        return {QStringLiteral("no reading yet: is Brimwatch running?\n"), {}, 1};
    if (!file.snapshot)
        return {{}, QStringLiteral("brimwatch: can't read %1: %2\n").arg(path, file.problem), 2};
    const Snapshot& s = *file.snapshot;
    const int code = fresh(s, now) ? 0 : 1;
    if (json)
        return {QString::fromUtf8(file.json), {}, code};
    QString out = Entry::limitLines(s.limits, now);
    if (s.updatedAt)
        out += age(s, now) + u'\n';
    if (s.error)
        out += QStringLiteral("error: ") + *s.error + u'\n';
    return {out, {}, code};
}

QString waybar(const File& file, Instant now) {
    QJsonObject o;
    QString cls;
    if (!file.snapshot) {
        o = {{QStringLiteral("text"), QStringLiteral("-")},
             {QStringLiteral("tooltip"),
              file.missing ? QStringLiteral("No reading yet: is Brimwatch running?")
                           : QStringLiteral("Can't read ") + usageFile() + QStringLiteral(": ") +
                                 file.problem},
             {QStringLiteral("percentage"), 0}};
        cls = QStringLiteral("error");
    } else {
        const Snapshot& s = *file.snapshot;
        const std::optional<Limit> session = sessionOf(s.limits);
        QStringList tip;
        for (const Limit& l : s.limits)
            tip << trayText(l, false, std::nullopt, now).toolTip;
        if (s.updatedAt)
            tip << age(s, now).replace(0, 1, u'U');
        if (s.error)
            tip << QStringLiteral("Error: ") + *s.error;
        const double percent = session ? session->percent : 0;
        o = {{QStringLiteral("text"), trayText(session, false, s.error, now).label.trimmed()},
             {QStringLiteral("tooltip"), tip.join(u'\n')},
             {QStringLiteral("percentage"), session ? roundedPercent(percent).toLongLong() : 0}};
        const Level level = levelOf(percent);
        cls = s.error                                                      ? QStringLiteral("error")
              : !s.updatedAt || secondsBetween(*s.updatedAt, now) > kStale ? QStringLiteral("stale")
              : level >= Level::Danger ? QStringLiteral("danger")
              : level == Level::Warn   ? QStringLiteral("warn")
                                       : QStringLiteral("normal");
    }
    o.insert(QStringLiteral("class"), cls);
    o.insert(QStringLiteral("alt"), cls);
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact)) + u'\n';
}

int watchWaybar(const QString& path) {
    // A reader that goes away ends us at the next write, not with a signal.
    std::signal(SIGPIPE, SIG_IGN);
    int argc = 0;
    QCoreApplication app(argc, nullptr);
    QString last;
    // Whether the line (if new) reached the reader; when it did not, the loop ends.
    const auto print = [&](bool always) {
        const Instant now = std::chrono::system_clock::now();
        const QString line = waybar(read(path, now), now);
        if (line == last && !always)
            return true;
        last = line;
        const QByteArray utf8 = line.toUtf8();
        if (std::fwrite(utf8.constData(), 1, size_t(utf8.size()), stdout) != size_t(utf8.size()) ||
            std::fflush(stdout) != 0) {
            QCoreApplication::exit(0);
            return false;
        }
        return true;
    };
    // The app renames a new file into its folder: watch the folder, or until it is made,
    // the nearest folder above it that there is.
    QFileSystemWatcher watcher;
    const auto watch = [&] {
        // Until the watch stands on the deepest folder there is: folders made while it
        // moved down were made before it could see them.
        for (;;) {
            QString folder = QFileInfo(path).path();
            while (!QFileInfo::exists(folder) && folder.count(u'/') > 1)
                folder = QFileInfo(folder).path();
            if (watcher.directories() == QStringList{folder})
                return;
            if (!watcher.directories().isEmpty())
                watcher.removePaths(watcher.directories());
            if (!watcher.addPath(folder))
                return; // unreadable: the minute timer still runs
        }
    };
    watch();
    QObject::connect(&watcher, &QFileSystemWatcher::directoryChanged, &app, [&] {
        watch();
        print(false);
    });
    // Once a minute, so that the countdown moves.
    QTimer minute;
    QObject::connect(&minute, &QTimer::timeout, &app, [&] { print(true); });
    minute.start(60'000);
    // A pipe's reader that closes shows as an error on our end of it.
    struct stat st {};
    std::unique_ptr<QSocketNotifier> closed;
    if (::fstat(STDOUT_FILENO, &st) == 0 && (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode))) {
        closed = std::make_unique<QSocketNotifier>(STDOUT_FILENO, QSocketNotifier::Read);
        QObject::connect(closed.get(), &QSocketNotifier::activated, &app,
                         [] { QCoreApplication::exit(0); });
    }
    // Before the loop runs, an exit() would not end it: a reader gone already ends us here.
    if (!print(true))
        return 0;
    return QCoreApplication::exec();
}

} // namespace Status

namespace HistoryReport {

QString historyFile() {
    return ClaudeCLI::supportDir() + QStringLiteral("/history.sqlite");
}

Status::Report text(const QString& file, int days, bool csv, Instant now) {
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
                     .arg(Entry::formatPercent(s.percent) + u'%', 7)
                     .arg(s.resetsAt ? local(*s.resetsAt)
                                     : s.resetText.value_or(QStringLiteral("-")));
    return {lines.join(u'\n') + u'\n', {}, 0};
}

} // namespace HistoryReport

#include "Waybar.h"

#include "Output.h"
#include "Status.h"
#include "files/Paths.h"
#include "transcripts/Breakdown.h"
#include "usage/Level.h"
#include "usage/Percent.h"
#include "usage/TrayText.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace WaybarCommand {

using UsageFile::File;
using UsageFile::Snapshot;

QString line(const File& file, Instant now) {
    QJsonObject o;
    QString cls;
    if (!file.snapshot) {
        o = {{QStringLiteral("text"), QStringLiteral("-")},
             {QStringLiteral("tooltip"),
              file.missing ? QStringLiteral("No reading yet: is Brimwatch running?")
                           : QStringLiteral("Can't read ") + Paths::usageJson() +
                                 QStringLiteral(": ") + file.problem},
             {QStringLiteral("percentage"), 0}};
        cls = QStringLiteral("error");
    } else {
        const Snapshot& s = *file.snapshot;
        const std::optional<Limit> session = sessionOf(s.limits);
        QStringList tip;
        for (const Limit& l : s.limits)
            tip << trayText(l, false, std::nullopt, now).toolTip;
        if (!s.projects.session.isEmpty()) { // what used the session most
            const UsageFile::ProjectShare& top = s.projects.session.first();
            Transcript::Row row;
            row.name = top.name;
            row.share = top.share;
            row.limitPercent = top.limitPercent;
            tip << Transcript::summary({row}, 1) + QStringLiteral(" (estimated)");
        }
        if (s.updatedAt)
            tip << StatusCommand::age(s, now).replace(0, 1, u'U');
        if (s.error)
            tip << QStringLiteral("Error: ") + *s.error;
        const double percent = session ? session->percent : 0;
        o = {{QStringLiteral("text"), trayText(session, false, s.error, now).label.trimmed()},
             {QStringLiteral("tooltip"), tip.join(u'\n')},
             {QStringLiteral("percentage"), session ? roundedPercent(percent).toLongLong() : 0}};
        const Level level = levelOf(percent);
        cls = s.error ? QStringLiteral("error")
              : !s.updatedAt || secondsBetween(*s.updatedAt, now) > UsageFile::kStale
                  ? QStringLiteral("stale")
              : level >= Level::Danger ? QStringLiteral("danger")
              : level == Level::Warn   ? QStringLiteral("warn")
                                       : QStringLiteral("normal");
    }
    o.insert(QStringLiteral("class"), cls);
    o.insert(QStringLiteral("alt"), cls);
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact)) + u'\n';
}

int watch(const QString& path, const std::optional<QString>& account) {
    // A reader that goes away ends us at the next write, not with a signal.
    std::signal(SIGPIPE, SIG_IGN);
    int argc = 0;
    QCoreApplication app(argc, nullptr);
    QString last;
    // Whether the line (if new) reached the reader; when it did not, the loop ends.
    const auto print = [&](bool always) {
        const Instant now = std::chrono::system_clock::now();
        const QString next = line(UsageFile::forAccount(UsageFile::read(path, now), account), now);
        if (next == last && !always)
            return true;
        last = next;
        const QByteArray utf8 = next.toUtf8();
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

int run(const Options::Invocation& args) {
    const auto account = args.after(QStringLiteral("--account"));
    if (args.has(QStringLiteral("--watch")))
        return watch(Paths::usageJson(), account);
    const Instant now = std::chrono::system_clock::now();
    writeText(stdout,
              line(UsageFile::forAccount(UsageFile::read(Paths::usageJson(), now), account), now));
    return 0;
}

} // namespace WaybarCommand

// Running the tool once: fixed arguments, a clean environment, output drained as it
// comes, and a watchdog that ends a tool that hangs.

#include "ClaudeCLI.h"
#include "LockedData.h"
#include "ProcessGroup.h"
#include "Stopping.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QProcessEnvironment>
#include <QtConcurrent/QtConcurrentRun>

#include <atomic>

namespace ClaudeCLI {

namespace {

std::atomic<bool> gStopping{false};

constexpr std::chrono::milliseconds kSlice{250}; // how often a waiting run looks up

QProcessEnvironment toolEnvironment(const QString& executable) {
    QProcessEnvironment env;
    env.insert(QStringLiteral("HOME"), QDir::homePath());
    QStringList path{QFileInfo(executable).path()};
    path << searchPaths();
    path << QStringLiteral("/usr/bin") << QStringLiteral("/bin") << QStringLiteral("/usr/sbin")
         << QStringLiteral("/sbin");
    env.insert(QStringLiteral("PATH"), path.join(u':'));
    env.insert(QStringLiteral("LANG"), QStringLiteral("en_US.UTF-8"));
    env.insert(QStringLiteral("NO_COLOR"), QStringLiteral("1"));
    const QProcessEnvironment own = QProcessEnvironment::systemEnvironment();
    for (const char* key : {"USER", "LOGNAME", "TMPDIR", "SHELL"}) {
        const QString k = QString::fromLatin1(key);
        if (own.contains(k))
            env.insert(k, own.value(k));
    }
    return env;
}

QString notInstalled() {
    return QStringLiteral("Claude Code is not installed on this computer. Install it from ") +
           QString::fromLatin1(kInstallPage) + QStringLiteral(", log in once, then press Refresh.");
}

} // namespace

CLIResult run(const Options& options) {
    const std::optional<QString> executable = find(options);
    if (!executable)
        return CLIError{notInstalled()};
    const QString dir = supportDir();
    QDir().mkpath(dir); // a failure shows up as a failed start below

    QProcess tool;
    tool.setProgram(*executable);
    tool.setArguments({QStringLiteral("-p"), QStringLiteral("/usage"), QStringLiteral("--model"),
                       placeholderModel(), QStringLiteral("--no-session-persistence"),
                       QStringLiteral("--strict-mcp-config")});
    tool.setWorkingDirectory(dir);
    tool.setProcessEnvironment(toolEnvironment(*executable));
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.setStandardInputFile(QProcess::nullDevice());
    ProcessGroup::startOwnGroup(tool);
    tool.start();
    if (!tool.waitForStarted(-1))
        return CLIError{QStringLiteral("Could not start Claude Code: ") + tool.errorString()};

    // QProcess reads the pipe while it waits, so a tool that prints a lot never blocks,
    // and it stops reading when the tool exits, even if a grandchild keeps the pipe open.
    LockedData output;
    QElapsedTimer clock;
    clock.start();
    bool terminated = false;
    while (!tool.waitForFinished(int(kSlice.count()))) {
        if (tool.state() == QProcess::NotRunning)
            break;
        output.append(tool.readAll());
        const auto elapsed = std::chrono::milliseconds(clock.elapsed());
        if (Stopping::requested() || elapsed >= options.watchdog + options.killGrace) {
            ProcessGroup::signal(tool, SIGKILL);
        } else if (!terminated && elapsed >= options.watchdog) {
            ProcessGroup::signal(tool, SIGTERM);
            terminated = true;
        }
    }
    output.append(tool.readAll());
    return QString::fromUtf8(output.value());
}

void usage(QObject* context, std::function<void(CLIResult)> done, Options options) {
    // The watcher belongs to context: if context goes, so does the delivery.
    auto* watcher = new QFutureWatcher<CLIResult>(context);
    QObject::connect(watcher, &QFutureWatcherBase::finished, watcher,
                     [watcher, done = std::move(done)] {
                         done(watcher->result());
                         watcher->deleteLater();
                     });
    watcher->setFuture(QtConcurrent::run([options] { return run(options); }));
}

void stopAll() {
    gStopping = true;
}

} // namespace ClaudeCLI

namespace Stopping {

bool requested() {
    return ClaudeCLI::gStopping;
}

bool waitForFinished(QProcess& p, std::chrono::milliseconds limit) {
    QElapsedTimer clock;
    clock.start();
    while (!requested()) {
        const auto left = limit - std::chrono::milliseconds(clock.elapsed());
        if (left <= std::chrono::milliseconds(0))
            return false;
        if (p.waitForFinished(int(std::min(left, ClaudeCLI::kSlice).count())))
            return true;
        if (p.state() == QProcess::NotRunning)
            return true;
    }
    return false;
}

} // namespace Stopping

// Running the tool once: fixed arguments, a clean environment, output drained as it
// comes (the first megabyte kept), a watchdog that ends a tool that hangs, and nothing
// of it left running afterwards.

#include "ClaudeCLI.h"
#include "Leftovers.h"
#include "LockedData.h"
#include "ProcessGroup.h"
#include "Stopping.h"
#include "files/Files.h"
#include "files/Paths.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QProcessEnvironment>
#include <QtConcurrent/QtConcurrentRun>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace ClaudeCLI {

namespace {

static_assert(std::atomic<bool>::is_always_lock_free, "stopAll() runs in signal handlers");

constexpr std::chrono::milliseconds kSlice = Stopping::kSlice;

} // namespace

QProcessEnvironment environment(const QString& executable, const QString& configDir) {
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
    if (!configDir.isEmpty())
        env.insert(QStringLiteral("CLAUDE_CONFIG_DIR"), configDir);
    env.insert(Leftovers::markName(), Leftovers::mark()); // what a later sweep knows it by
    return env;
}

namespace {

QString notInstalled() {
    return QStringLiteral("Claude Code is not installed on this computer. Install it from ") +
           QString::fromLatin1(kInstallPage) + QStringLiteral(", log in once, then press Refresh.");
}

// Groups whose leader has exited but whose members may not have: each gets SIGKILL once
// its grace is over. One thread sees to all of them, and only while there are some.
class Sweeper {
public:
    void add(pid_t group, std::chrono::milliseconds grace) {
        std::unique_lock lock(mutex_);
        pending_.push_back({group, std::chrono::steady_clock::now() + grace});
        if (!running_) {
            running_ = true;
            std::thread([this] { work(); }).detach();
        }
        changed_.notify_all();
    }

    // Until every pending group is gone or killed, or the time is up.
    void wait(std::chrono::milliseconds limit) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, limit, [this] { return pending_.empty(); });
    }

private:
    struct Pending {
        pid_t group;
        std::chrono::steady_clock::time_point killAt;
    };

    void work() {
        std::unique_lock lock(mutex_);
        while (!pending_.empty()) {
            const auto now = std::chrono::steady_clock::now();
            std::erase_if(pending_, [now](const Pending& p) {
                if (ProcessGroup::alive(p.group) && now < p.killAt && !Stopping::requested())
                    return false;
                ProcessGroup::signal(p.group, SIGKILL);
                Leftovers::forget(p.group);
                return true;
            });
            changed_.notify_all();
            if (!pending_.empty())
                changed_.wait_for(lock, kSlice);
        }
        running_ = false;
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Pending> pending_;
    bool running_ = false;
};

Sweeper& sweeper() {
    static Sweeper* s = new Sweeper; // never destroyed: its thread may outlive main()
    return *s;
}

} // namespace

ToolRun run(const Options& options) {
    ToolRun outcome;
    outcome.configDir = options.configDir;
    const std::optional<QString> executable = find(options);
    if (!executable) {
        outcome.result = CLIError{notInstalled()};
        return outcome;
    }
    // A folder that has gone would make the tool start a new login there, silently.
    if (!options.configDir.isEmpty() && !QFileInfo(options.configDir).isDir()) {
        outcome.result = CLIError{QStringLiteral("This account's folder %1 is not there. Remove "
                                                 "the account, or add it again with its folder.")
                                      .arg(options.configDir)};
        return outcome;
    }
    // Without its folder the tool runs in the home folder, and the app says why.
    QString dir = Paths::supportDir();
    if (const auto problem = Files::makeFolder(dir)) {
        outcome.folderProblem = QStringLiteral("Brimwatch can't use its folder ") + dir +
                                QStringLiteral(": ") + *problem;
        dir = QDir::homePath();
    }

    QProcess tool;
    tool.setProgram(*executable);
    tool.setArguments({QStringLiteral("-p"), QStringLiteral("/usage"), QStringLiteral("--model"),
                       placeholderModel(), QStringLiteral("--no-session-persistence"),
                       QStringLiteral("--strict-mcp-config")});
    tool.setWorkingDirectory(dir);
    tool.setProcessEnvironment(environment(*executable, options.configDir));
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.setStandardInputFile(QProcess::nullDevice());
    ProcessGroup::startOwnGroup(tool);
    tool.start();
    if (!tool.waitForStarted(-1)) {
        outcome.result =
            CLIError{QStringLiteral("Could not start Claude Code: ") + tool.errorString()};
        return outcome;
    }
    const pid_t group = pid_t(tool.processId()); // the group outlives the tool's own pid
    Leftovers::remember(group);

    // Read as it comes, a pipe's worth at a time: a tool that prints a lot never blocks,
    // and one that prints without end costs no memory. QProcess stops reading when the
    // tool exits, even if a grandchild keeps the pipe open.
    LockedData output(options.keep);
    QElapsedTimer clock;
    clock.start();
    bool terminated = false;
    while (tool.state() != QProcess::NotRunning) {
        if (tool.waitForReadyRead(int(kSlice.count())))
            output.append(tool.readAll());
        const auto elapsed = std::chrono::milliseconds(clock.elapsed());
        if (Stopping::requested() || elapsed >= options.watchdog + options.killGrace) {
            ProcessGroup::signal(group, SIGKILL);
        } else if (!terminated && elapsed >= options.watchdog) {
            ProcessGroup::signal(group, SIGTERM);
            terminated = true;
        }
    }
    output.append(tool.readAll());
    outcome.stopped = terminated || Stopping::requested();

    // Whatever the tool left running in its group: asked to stop now, made to later.
    if (ProcessGroup::alive(group)) {
        ProcessGroup::signal(group, SIGTERM);
        sweeper().add(group, options.killGrace);
    } else {
        Leftovers::forget(group);
    }
    outcome.result = QString::fromUtf8(output.value());
    return outcome;
}

void usage(QObject* context, std::function<void(Reading)> done, Options options) {
    // The watcher belongs to context: if context goes, so does the delivery.
    auto* watcher = new QFutureWatcher<Reading>(context);
    QObject::connect(watcher, &QFutureWatcherBase::finished, watcher,
                     [watcher, done = std::move(done)] {
                         done(watcher->result());
                         watcher->deleteLater();
                     });
    watcher->setFuture(QtConcurrent::run([options] {
        const ToolRun outcome = run(options);
        return Reading::of(outcome, std::chrono::system_clock::now());
    }));
}

void stopAll() {
    Stopping::request();
}

void settle(const Options& options) {
    sweeper().wait(options.killGrace + kSlice);
}

} // namespace ClaudeCLI

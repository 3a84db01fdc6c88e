#include "Entry.h"
#include "Status.h"
#include "cli/ClaudeCLI.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>

#include <csignal>
#include <cstdio>
#include <dlfcn.h>

namespace {

volatile std::sig_atomic_t gStopSignal = 0;

void onStopSignal(int sig) {
    gStopSignal = sig;
    ClaudeCLI::stopAll();
}

QByteArray readStdin() {
    QByteArray bytes;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, stdin)) > 0)
        bytes.append(buf, qsizetype(n));
    return bytes;
}

void write(std::FILE* to, const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    std::fwrite(utf8.constData(), 1, size_t(utf8.size()), to);
    std::fflush(to);
}

QStringList arguments(int argc, char** argv) {
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    return args;
}

// The window system, the tray and the views live in a module loaded only for the modes
// that need them, so that the text modes start in a few milliseconds.
int runGui(int argc, char** argv) {
    const QString dir = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
    QString module = dir + QStringLiteral("/brimwatch-gui.so");
    if (!QFileInfo::exists(module))
        module = dir + QStringLiteral("/" BRIMWATCH_PRIVATE_FROM_BIN "/brimwatch-gui.so");
    void* handle = ::dlopen(QFile::encodeName(module).constData(), RTLD_NOW | RTLD_LOCAL);
    using GuiMain = int (*)(int, char**);
    auto* guiMain =
        handle ? reinterpret_cast<GuiMain>(::dlsym(handle, "brimwatchGuiMain")) : nullptr;
    if (!guiMain) {
        write(stderr, QStringLiteral("brimwatch: cannot load the desktop part: ") +
                          QString::fromLocal8Bit(::dlerror()) + u'\n');
        return 1;
    }
    return guiMain(argc, argv);
}

} // namespace

int main(int argc, char** argv) {
    const QStringList args = arguments(argc, argv);
    switch (Entry::dispatch(args)) {
    case Entry::Mode::Parse:
        write(stdout,
              Entry::parseInput(readStdin, [] { return std::chrono::system_clock::now(); }));
        return 0;
    case Entry::Mode::Check: {
        QCoreApplication app(argc, argv);
        // The tool runs in a process group of its own, out of reach of the terminal's ^C:
        // an interrupted check stops it, then ends as the signal says.
        for (int sig : {SIGINT, SIGTERM, SIGHUP})
            std::signal(sig, onStopSignal);
        const ToolRun run = ClaudeCLI::run();
        const Instant now = std::chrono::system_clock::now(); // once the tool has answered
        const Reading reading = Reading::of(run, now);
        if (!gStopSignal)
            write(stdout, Entry::checkReport(reading, now).text);
        ClaudeCLI::settle(); // what the tool left behind is gone before we are
        if (const int sig = gStopSignal) {
            std::signal(sig, SIG_DFL);
            std::raise(sig);
        }
        return reading.limits.isEmpty() ? 1 : 0;
    }
    case Entry::Mode::Status: {
        const Instant now = std::chrono::system_clock::now();
        const Status::Report r =
            Status::status(Status::read(Status::usageFile(), now), now, args.value(2) == u"--json");
        write(stdout, r.out);
        write(stderr, r.err);
        return r.status;
    }
    case Entry::Mode::Waybar:
        if (args.value(2) == u"--watch")
            return Status::watchWaybar(Status::usageFile());
        write(stdout,
              Status::waybar(Status::read(Status::usageFile(), std::chrono::system_clock::now()),
                             std::chrono::system_clock::now()));
        return 0;
    case Entry::Mode::History: {
        QCoreApplication app(argc, argv); // the SQLite driver is a plugin
        const qsizetype d = args.indexOf(QStringLiteral("--days"));
        const int days = d > 0 ? args.value(d + 1).toInt() : 7;
        if (days <= 0) {
            write(stderr, QStringLiteral("brimwatch: --days takes a number of days\n"));
            return 2;
        }
        const Status::Report r = HistoryReport::text(HistoryReport::historyFile(), days,
                                                     args.contains(QStringLiteral("--csv")),
                                                     std::chrono::system_clock::now());
        write(stdout, r.out);
        write(stderr, r.err);
        return r.status;
    }
    case Entry::Mode::Help:
        write(stdout, Entry::helpText());
        return 0;
    case Entry::Mode::Version:
        write(stdout, Entry::versionText());
        return 0;
    case Entry::Mode::App:
        if (qEnvironmentVariableIsEmpty("DISPLAY") &&
            qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
            qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            write(stderr, QStringLiteral("brimwatch: no display to show the tray item on "
                                         "(neither DISPLAY nor WAYLAND_DISPLAY is set)\n"));
            return 1;
        }
        return runGui(argc, argv);
    case Entry::Mode::MakeIcon:
    case Entry::Mode::Snapshot:
        return runGui(argc, argv);
    }
    return 0;
}

// The modes that need the window system: the tray application, --snapshot and --make-icon.
// Built as a module that the entry loads only for them.

#include "AppDelegate.h"
#include "cli/ClaudeCLI.h"
#include "commands/MakeIcon.h"
#include "commands/Options.h"
#include "commands/Snapshot.h"
#include "platform/DesktopLook.h"

#include <QApplication>

#include <cstdio>

// The entry has read the arguments: the mode comes with them.
extern "C" __attribute__((visibility("default"))) int
brimwatchGuiMain(const Options::Invocation& args, int argc, char** argv) {
    switch (args.mode) {
    case Options::Mode::MakeIcon:
    case Options::Mode::Snapshot: {
        // Drawing needs no screen: without a display, use Qt's offscreen platform.
        if (qEnvironmentVariableIsEmpty("DISPLAY") &&
            qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
            qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        // These modes report nothing: Qt's remarks on a headless platform (no runtime folder,
        // no window manager to pass size hints to) are not the person's business.
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& m) {
            if (type == QtCriticalMsg || type == QtFatalMsg)
                std::fprintf(stderr, "%s\n", qPrintable(m));
        });
        QApplication app(argc, argv);
        if (args.mode == Options::Mode::MakeIcon)
            MakeIconCommand::run(args.value);
        else
            SnapshotCommand::run(args.value, args.first(QStringLiteral("--all-states")));
        return 0;
    }
    case Options::Mode::App: {
        // The panel and the card need placing and stacking that only some Wayland
        // compositors do for a client; a platform the person chose is theirs.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            const QString platform =
                DesktopLook::qtPlatform(qEnvironmentVariable("XDG_CURRENT_DESKTOP"),
                                        !qEnvironmentVariableIsEmpty("DISPLAY"),
                                        !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"));
            if (!platform.isEmpty())
                qputenv("QT_QPA_PLATFORM", platform.toLatin1());
        }
        QApplication app(argc, argv);
        QApplication::setApplicationName(QStringLiteral("Brimwatch"));
        QApplication::setDesktopFileName(QStringLiteral("brimwatch"));
        QApplication::setQuitOnLastWindowClosed(false);
        AppDelegate delegate;
        if (!delegate.launch())
            return 0; // another copy runs
        const int status = QApplication::exec();
        // A tool stopped on the way out is gone, and forgotten, before we are.
        ClaudeCLI::settle();
        return status;
    }
    default:
        return 0;
    }
}

// The modes that need the window system: the tray application, --snapshot and --make-icon.
// Built as a module that the entry loads only for them.

#include "AppDelegate.h"
#include "Entry.h"
#include "Render.h"

#include <QApplication>

#include <cstdio>

extern "C" __attribute__((visibility("default"))) int brimwatchGuiMain(int argc, char** argv) {
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const Entry::Mode mode = Entry::dispatch(args);
    switch (mode) {
    case Entry::Mode::MakeIcon:
    case Entry::Mode::Snapshot: {
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
        if (mode == Entry::Mode::MakeIcon)
            Render::makeIcon(args[2]);
        else
            Render::snapshotMode(args[2], args.value(3) == u"--all-states");
        return 0;
    }
    case Entry::Mode::App: {
        // The card needs positioning and stacking that Wayland clients cannot ask for:
        // prefer X11 through XWayland where it is there.
        if (!qEnvironmentVariableIsEmpty("DISPLAY") &&
            qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "xcb");
        QApplication app(argc, argv);
        QApplication::setApplicationName(QStringLiteral("Brimwatch"));
        QApplication::setDesktopFileName(QStringLiteral("brimwatch"));
        QApplication::setQuitOnLastWindowClosed(false);
        AppDelegate delegate;
        if (!delegate.launch())
            return 0; // another copy runs
        return QApplication::exec();
    }
    default:
        return 0;
    }
}

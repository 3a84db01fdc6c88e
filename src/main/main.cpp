#include "AppDelegate.h"
#include "Entry.h"
#include "Render.h"
#include "cli/ClaudeCLI.h"

#include <QApplication>

#include <QByteArray>
#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <cstdio>

namespace {

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

} // namespace

int main(int argc, char** argv) {
    const QStringList args = arguments(argc, argv);
    switch (Entry::dispatch(args)) {
    case Entry::Mode::Parse:
        // Invalid UTF-8 becomes U+FFFD.
        write(stdout,
              Entry::parseReport(QString::fromUtf8(readStdin()), std::chrono::system_clock::now()));
        return 0;
    case Entry::Mode::Check: {
        QCoreApplication app(argc, argv);
        const CLIResult result = ClaudeCLI::run();
        const Entry::CheckReport report =
            Entry::checkReport(result, std::chrono::system_clock::now());
        write(stdout, report.text);
        return report.read ? 0 : 1;
    }
    case Entry::Mode::Help:
        write(stdout, Entry::helpText());
        return 0;
    case Entry::Mode::Version:
        write(stdout, Entry::versionText());
        return 0;
    case Entry::Mode::MakeIcon:
    case Entry::Mode::Snapshot: {
        // Drawing needs no screen: without a display, use Qt's offscreen platform.
        if (qEnvironmentVariableIsEmpty("DISPLAY") &&
            qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
            qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);
        if (Entry::dispatch(args) == Entry::Mode::MakeIcon)
            Render::makeIcon(args[2]);
        else
            Render::snapshotMode(args[2]);
        return 0;
    }
    case Entry::Mode::App: {
        if (qEnvironmentVariableIsEmpty("DISPLAY") &&
            qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
            qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            write(stderr, QStringLiteral("brimwatch: no display to show the tray item on "
                                         "(neither DISPLAY nor WAYLAND_DISPLAY is set)\n"));
            return 1;
        }
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
    }
    return 0;
}

#pragma once

// A desktop of the test's own for the whole application: a virtual X display, private
// session and system buses, a fake logind, a panel's connection to the session bus with a
// StatusNotifierWatcher it publishes when the test says, and a home with a fake `claude`.
// The app under test is the real executable.

#include "platform/DBusTypes.h"
#include "support/TestHome.h"
#include "support/TestWatcher.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <memory>
#include <unistd.h>

namespace e2e {

inline bool waitUntil(int ms, const std::function<bool()>& done) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 25);
    }
    return true;
}

inline void pause(int ms) {
    waitUntil(ms, [] { return false; });
}

inline QString readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

class Desktop : public ::testing::Test {
public:
    static void SetUpTestSuite() {
        for (const char* tool : {"Xvfb", "dbus-daemon", "xdotool", "xprop", "xwininfo"})
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
                missing = QString::fromLatin1(tool);
                return;
            }
        // A display of its own, so that suites can run side by side.
        int n = 300 + getpid() % 300;
        while (QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)))
            ++n;
        display = QStringLiteral(":%1").arg(n);
        xvfb = start(QStringLiteral("Xvfb"), {display, QStringLiteral("-screen"),
                                              QStringLiteral("0"), QStringLiteral("1280x800x24"),
                                              QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        sessionAddress = startBus(sessionBus);
        systemAddress = startBus(systemBus);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), QString::fromUtf8(systemAddress));
        logind = new QProcess;
        logind->setProcessEnvironment(env);
        logind->start(QStringLiteral(BRIMWATCH_FAKE_LOGIND), QStringList{});
        logind->waitForReadyRead(10000);
        logind->readAll();
        panel = new QDBusConnection(QDBusConnection::connectToBus(QString::fromUtf8(sessionAddress),
                                                                  QStringLiteral("panel")));
        watcher = new TestWatcher;
        registerTrayDBusTypes();
        waitUntil(5000, [] {
            return xtool(QStringLiteral("xdotool"), {QStringLiteral("getdisplaygeometry")})
                .contains(QStringLiteral("1280"));
        });
    }

    static void TearDownTestSuite() {
        for (QProcess* p : {logind, systemBus, sessionBus, xvfb}) {
            if (!p)
                continue;
            p->terminate();
            p->waitForFinished(5000);
            delete p;
        }
        delete watcher;
        delete panel;
    }

    void SetUp() override {
        if (!missing.isEmpty())
            GTEST_SKIP() << missing.toStdString() << " is not installed";
        ASSERT_FALSE(sessionAddress.isEmpty());
        ASSERT_TRUE(panel->isConnected());
        // Every test starts with a clean home and no watcher, until it publishes one.
        TestHome::clear();
        watcher->unpublish(*panel);
        watcher->registrations = 0;
        watcher->setHost(true);
    }

    static QProcess* start(const QString& program, const QStringList& args) {
        auto* p = new QProcess;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), display);
        p->setProcessEnvironment(env);
        p->start(program, args);
        return p;
    }

    static QByteArray startBus(QProcess*& daemon) {
        daemon = start(QStringLiteral("dbus-daemon"),
                       {QStringLiteral("--session"), QStringLiteral("--nofork"),
                        QStringLiteral("--print-address=1")});
        return daemon->waitForReadyRead(10000) ? daemon->readLine().trimmed() : QByteArray();
    }

    static QString xtool(const QString& program, const QStringList& args) {
        std::unique_ptr<QProcess> p(start(program, args));
        p->waitForFinished(10000);
        return QString::fromUtf8(p->readAllStandardOutput());
    }

    // Starts the app as a user would, in the test's home and desktop.
    static std::unique_ptr<QProcess> launch() {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        const QString home = TestHome::path();
        env.insert(QStringLiteral("HOME"), home);
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
        env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/.local/share"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home + QStringLiteral("/run"));
        QDir().mkpath(home + QStringLiteral("/run"));
        QFile::setPermissions(home + QStringLiteral("/run"), QFileDevice::ReadOwner |
                                                                 QFileDevice::WriteOwner |
                                                                 QFileDevice::ExeOwner);
        env.insert(QStringLiteral("DISPLAY"), display);
        for (const char* key : {"WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_CURRENT_DESKTOP"})
            env.remove(QString::fromLatin1(key));
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QString::fromUtf8(sessionAddress));
        env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), QString::fromUtf8(systemAddress));
        env.insert(QStringLiteral("TZ"), QStringLiteral("UTC"));
        p->setProcessEnvironment(env);
        p->start(QStringLiteral(BRIMWATCH_EXE), QStringList{});
        return p;
    }

    // What the app wrote on standard error so far.
    static QString errors(QProcess& app) { return QString::fromUtf8(app.readAllStandardError()); }

    static QDBusMessage call(const QString& service, const QString& path, const QString& iface,
                             const QString& method, const QVariantList& args = {}) {
        QDBusMessage m = QDBusMessage::createMethodCall(service, path, iface, method);
        m.setArguments(args);
        return panel->call(m, QDBus::Block, 5000);
    }

    static QVariantMap itemProperties(const QString& service) {
        const QDBusMessage reply =
            call(service, QStringLiteral("/StatusNotifierItem"),
                 QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"),
                 {QStringLiteral("org.kde.StatusNotifierItem")});
        return reply.arguments().isEmpty() ? QVariantMap()
                                           : qdbus_cast<QVariantMap>(reply.arguments().first());
    }

    // A click on one of the item's menu entries, by its id.
    static void menu(const QString& service, int id) {
        call(service, QStringLiteral("/MenuBar"), QStringLiteral("com.canonical.dbusmenu"),
             QStringLiteral("Event"),
             {id, QStringLiteral("clicked"), QVariant::fromValue(QDBusVariant(QString())), 0u});
    }

    static QString visibleWindow(const QString& name) {
        return xtool(QStringLiteral("xdotool"),
                     {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                      QStringLiteral("--name"), name})
            .trimmed();
    }

    // The fake tool, which also counts its runs.
    static QString claude(const QByteArray& body) {
        return TestHome::script(QStringLiteral(".local/bin/claude"),
                                "echo run >> \"$HOME/runs.log\"\n" + body);
    }
    static int runs() {
        return readFile(TestHome::path() + QStringLiteral("/runs.log")).count(u'\n');
    }

    static inline QString missing, display;
    static inline QProcess *xvfb = nullptr, *sessionBus = nullptr, *systemBus = nullptr,
                           *logind = nullptr;
    static inline QByteArray sessionAddress, systemAddress;
    static inline QDBusConnection* panel = nullptr;
    static inline TestWatcher* watcher = nullptr;
};

} // namespace e2e

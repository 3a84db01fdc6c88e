#pragma once

// A desktop of the test's own for the whole application: a virtual X display, private
// session and system buses, a fake logind, a panel's connection to the session bus with a
// StatusNotifierWatcher it publishes when the test says, and a home with a fake `claude`.
// The app under test is the real executable.

#include "platform/DBusTypes.h"
#include "support/PrivateBus.h"
#include "support/TestHome.h"
#include "support/TestWatcher.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <memory>
#include <unistd.h>

namespace e2e {

class Desktop : public ::testing::Test {
public:
    static void SetUpTestSuite() {
        for (const char* tool : {"Xvfb", "dbus-daemon", "xdotool", "xprop", "xwininfo"})
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                missing = QString::fromLatin1(tool);
        if (!missing.isEmpty())
            return;
        // A display of its own, which Xvfb picks free, so that suites can run side by side.
        sessionBus = new PrivateBus;
        systemBus = new PrivateBus;
        xvfb = start(QStringLiteral("Xvfb"),
                     QStringLiteral("-displayfd 1 -screen 0 1280x800x24 -nolisten tcp -noreset")
                         .split(u' '));
        xvfb->waitForReadyRead(10000); // the number of the display it found free
        display = u':' + QString::fromLatin1(xvfb->readAllStandardOutput().trimmed());
        panel = new QDBusConnection(sessionBus->connect(QStringLiteral("panel")));
        watcher = new TestWatcher;
        registerTrayDBusTypes();
        // logind, as far as the app can tell: the owner of its name on the system bus.
        logind = new QDBusConnection(systemBus->connect(QStringLiteral("logind")));
        logind->registerService(QStringLiteral("org.freedesktop.login1"));
        waitUntil(5000, [] {
            return xtool(QStringLiteral("xdotool"), {QStringLiteral("getdisplaygeometry")})
                .contains(QStringLiteral("1280"));
        });
    }

    static void TearDownTestSuite() {
        if (xvfb) {
            xvfb->terminate();
            xvfb->waitForFinished(5000);
            delete xvfb;
        }
        delete logind;
        delete watcher;
        delete panel;
        delete systemBus;
        delete sessionBus;
    }

    void SetUp() override {
        if (!missing.isEmpty())
            GTEST_SKIP() << missing.toStdString() << " is not installed";
        ASSERT_TRUE(sessionBus->ok() && systemBus->ok() && panel->isConnected());
        // Every test starts with a clean home and no watcher, until it publishes one.
        TestHome::clear();
        watcher->unpublish(*panel);
        watcher->registrations = 0;
        watcher->setHost(true);
    }

    // The environment of a session on this desktop, in the test's home.
    static QProcessEnvironment session() {
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
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                   QString::fromUtf8(sessionBus->address()));
        env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"),
                   QString::fromUtf8(systemBus->address()));
        env.insert(QStringLiteral("TZ"), QStringLiteral("UTC"));
        return env;
    }

    // `env`: "NAME=value" entries that the session's environment does not have.
    static QProcess* start(const QString& program, const QStringList& args,
                           const QStringList& env = {}) {
        auto* p = new QProcess;
        QProcessEnvironment e = session();
        for (const QString& entry : env)
            e.insert(entry.section(u'=', 0, 0), entry.section(u'=', 1));
        p->setProcessEnvironment(e);
        p->start(program, args);
        return p;
    }

    static QString xtool(const QString& program, const QStringList& args) {
        std::unique_ptr<QProcess> p(start(program, args));
        p->waitForFinished(10000);
        return QString::fromUtf8(p->readAllStandardOutput());
    }

    // Starts the app as a user would.
    static std::unique_ptr<QProcess> launch(const QStringList& env = {}) {
        return std::unique_ptr<QProcess>(start(QStringLiteral(BRIMWATCH_EXE), {}, env));
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
        return qdbus_cast<QVariantMap>(reply.arguments().value(0));
    }

    // The item's tooltip, as a host shows it.
    static QString toolTip(const QString& service) {
        return qdbus_cast<SniToolTip>(itemProperties(service).value(QStringLiteral("ToolTip")))
            .text;
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

    // What logind says when the computer wakes from sleep.
    static void wake() {
        QDBusMessage signal = QDBusMessage::createSignal(
            QStringLiteral("/org/freedesktop/login1"),
            QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"));
        signal << false;
        logind->send(signal);
    }

    // The fake tool, which also counts its runs.
    static QString claude(const QByteArray& body) {
        return TestHome::script(QStringLiteral(".local/bin/claude"),
                                "echo run >> \"$HOME/runs.log\"\n" + body);
    }
    static int runs() {
        return TestHome::read(TestHome::path() + QStringLiteral("/runs.log")).count(u'\n');
    }

    static inline QString missing, display;
    static inline QProcess* xvfb = nullptr;
    static inline PrivateBus *sessionBus = nullptr, *systemBus = nullptr;
    static inline QDBusConnection *panel = nullptr, *logind = nullptr;
    static inline TestWatcher* watcher = nullptr;
};

} // namespace e2e

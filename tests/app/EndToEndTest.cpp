// The whole application on a virtual X display: a private session bus with a test
// StatusNotifierWatcher, a fake logind on a private system bus, and a fake `claude` in
// the temporary home. The app under test is the real executable.

#include "platform/DBusTypes.h"
#include "support/QtPrinters.h"
#include "support/TestHome.h"
#include "support/TestWatcher.h"
#include "usage/UsageParser.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

bool waitUntil(int ms, const std::function<bool()>& done) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 25);
    }
    return true;
}

QString readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// Starts a bus daemon and returns its address.
QByteArray startBus(QProcess& daemon) {
    daemon.start(u"dbus-daemon"_s, {u"--session"_s, u"--nofork"_s, u"--print-address=1"_s});
    if (!daemon.waitForReadyRead(10000))
        return {};
    return daemon.readLine().trimmed();
}

class Desktop : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        for (const char* tool : {"Xvfb", "dbus-daemon", "xdotool", "xprop"})
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
                missing = QString::fromLatin1(tool);
                return;
            }
        TestHome::clear();
        display = u":%1"_s.arg(300 + getpid() % 300);
        xvfb = new QProcess;
        xvfb->start(u"Xvfb"_s,
                    {display, u"-screen"_s, u"0"_s, u"1280x800x24"_s, u"-nolisten"_s, u"tcp"_s});
        sessionBus = new QProcess;
        systemBus = new QProcess;
        sessionAddress = startBus(*sessionBus);
        systemAddress = startBus(*systemBus);
        logind = new QProcess;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"DBUS_SYSTEM_BUS_ADDRESS"_s, QString::fromUtf8(systemAddress));
        logind->setProcessEnvironment(env);
        logind->start(QStringLiteral(BRIMWATCH_FAKE_LOGIND), QStringList{});
        logind->waitForReadyRead(10000);
        logind->readAll();
        bus = new QDBusConnection(
            QDBusConnection::connectToBus(QString::fromUtf8(sessionAddress), u"watcher"_s));
        watcher = new TestWatcher;
        watcher->publish(*bus);
        registerTrayDBusTypes();
        // Let the X server come up.
        waitUntil(5000, [] {
            return xtool(u"xdotool"_s, {u"getdisplaygeometry"_s}).contains(u"1280"_s);
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
        delete bus;
    }

    void SetUp() override {
        if (!missing.isEmpty())
            GTEST_SKIP() << missing.toStdString() << " is not installed";
        ASSERT_FALSE(sessionAddress.isEmpty());
        ASSERT_TRUE(bus->isConnected());
    }

    static QString xtool(const QString& program, const QStringList& args) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"DISPLAY"_s, display);
        p.setProcessEnvironment(env);
        p.start(program, args);
        p.waitForFinished(10000);
        return QString::fromUtf8(p.readAllStandardOutput());
    }

    // Starts the app as a user would, in the test's home and desktop.
    static std::unique_ptr<QProcess> launch() {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        const QString home = TestHome::path();
        env.insert(u"HOME"_s, home);
        env.insert(u"XDG_CONFIG_HOME"_s, home + u"/.config"_s);
        env.insert(u"XDG_DATA_HOME"_s, home + u"/.local/share"_s);
        env.insert(u"XDG_RUNTIME_DIR"_s, home + u"/run"_s);
        QDir().mkpath(home + u"/run"_s);
        QFile::setPermissions(home + u"/run"_s, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                    QFileDevice::ExeOwner);
        env.insert(u"DISPLAY"_s, display);
        env.remove(u"WAYLAND_DISPLAY"_s);
        env.remove(u"QT_QPA_PLATFORM"_s);
        env.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, QString::fromUtf8(sessionAddress));
        env.insert(u"DBUS_SYSTEM_BUS_ADDRESS"_s, QString::fromUtf8(systemAddress));
        env.insert(u"TZ"_s, u"UTC"_s);
        p->setProcessEnvironment(env);
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(QStringLiteral(BRIMWATCH_EXE), QStringList{});
        return p;
    }

    static QVariantMap itemProperties(const QString& service) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            service, u"/StatusNotifierItem"_s, u"org.freedesktop.DBus.Properties"_s, u"GetAll"_s);
        call << u"org.kde.StatusNotifierItem"_s;
        const QDBusMessage reply = bus->call(call, QDBus::Block, 5000);
        return reply.arguments().isEmpty() ? QVariantMap()
                                           : qdbus_cast<QVariantMap>(reply.arguments().first());
    }

    static void callItem(const QString& service, const QString& path, const QString& iface,
                         const QString& method, const QVariantList& args) {
        QDBusMessage call = QDBusMessage::createMethodCall(service, path, iface, method);
        call.setArguments(args);
        bus->call(call, QDBus::Block, 5000);
    }

    static QString visibleWindow(const QString& name) {
        return xtool(u"xdotool"_s, {u"search"_s, u"--onlyvisible"_s, u"--name"_s, name}).trimmed();
    }

    static QString claude(const QByteArray& body) {
        return TestHome::script(u".local/bin/claude"_s, "echo run >> \"$HOME/runs.log\"\n" + body);
    }
    static int runs() { return readFile(TestHome::path() + u"/runs.log"_s).count(u'\n'); }

    static inline QString missing, display;
    static inline QProcess *xvfb = nullptr, *sessionBus = nullptr, *systemBus = nullptr,
                           *logind = nullptr;
    static inline QByteArray sessionAddress, systemAddress;
    static inline QDBusConnection* bus = nullptr;
    static inline TestWatcher* watcher = nullptr;
};

TEST_F(Desktop, FirstLaunch) {
    // 82.5 % of the session, resetting in 2 h 5 min.
    const QString at =
        QDateTime::currentDateTimeUtc().addSecs(2 * 3600 + 5 * 60 + 30).toString(u"h:mmap"_s);
    claude("echo 'You are currently using your subscription to power your Claude Code usage'\n"
           "echo\n"
           "echo 'Current session: 82.5% used · resets " +
           at.toUtf8() +
           " (UTC)'\n"
           "echo 'Current week (all models): 40% used'\n");
    const int registered = watcher->registrations;
    auto app = launch();
    ASSERT_TRUE(waitUntil(15000, [&] { return watcher->registrations > registered; }))
        << "the item never registered";
    const QString service = watcher->items().last();

    // The label, tooltip and icon follow the tool's figures.
    QVariantMap props;
    ASSERT_TRUE(waitUntil(15000, [&] {
        props = itemProperties(service);
        return props.value(u"XAyatanaLabel"_s).toString().startsWith(u" 83%"_s);
    })) << props.value(u"XAyatanaLabel"_s).toString();
    // The reset is whole minutes away from a moment within this minute: 2h 5m or 2h 6m.
    const QRegularExpression label(u"^ 83% · 2h [56]m$"_s);
    EXPECT_TRUE(label.match(props.value(u"XAyatanaLabel"_s).toString()).hasMatch())
        << props.value(u"XAyatanaLabel"_s).toString();
    EXPECT_EQ(props.value(u"Title"_s).toString(), u"Brimwatch"_s);
    EXPECT_FALSE(props.value(u"ItemIsMenu"_s).toBool());
    const SniToolTip tip = qdbus_cast<SniToolTip>(props.value(u"ToolTip"_s));
    EXPECT_TRUE(QRegularExpression(u"^Session: 83% used, resets in 2h [56]m$"_s)
                    .match(tip.title)
                    .hasMatch())
        << tip.title;
    const SniPixmaps icons = qdbus_cast<SniPixmaps>(props.value(u"IconPixmap"_s));
    ASSERT_FALSE(icons.isEmpty());
    bool drawn = false;
    for (const SniPixmap& icon : icons) {
        EXPECT_EQ(icon.bytes.size(), icon.width * icon.height * 4);
        for (qsizetype i = 0; i < icon.bytes.size(); i += 4)
            drawn = drawn || icon.bytes[i] != 0; // some alpha somewhere
    }
    EXPECT_TRUE(drawn);

    // The files it leaves for diagnosis, and open-at-login from the first launch.
    const QString support = TestHome::path() + u"/.local/share/Brimwatch"_s;
    EXPECT_TRUE(readFile(support + u"/status.txt"_s).contains(u"Session: 83% - resets "_s));
    ASSERT_TRUE(waitUntil(6000, [&] { return QFile::exists(support + u"/menubar.txt"_s); }));
    EXPECT_EQ(readFile(support + u"/menubar.txt"_s),
              u"menu bar item: visible=true frame={{0, 0}, {0, 0}}\n"_s);
    EXPECT_TRUE(
        QFile::exists(TestHome::path() + u"/.config/autostart/com.velkorlab.brimwatch.desktop"_s));

    // Activate opens the panel near the point; a second one closes it.
    callItem(service, u"/StatusNotifierItem"_s, u"org.kde.StatusNotifierItem"_s, u"Activate"_s,
             {600, 10});
    QString panel;
    ASSERT_TRUE(waitUntil(
        5000, [&] { return !(panel = visibleWindow(u"^Brimwatch panel$"_s)).isEmpty(); }));
    const QString geometry = xtool(u"xdotool"_s, {u"getwindowgeometry"_s, u"--shell"_s, panel});
    EXPECT_TRUE(geometry.contains(u"X=450"_s)) << geometry; // 600 less half of 300
    EXPECT_TRUE(geometry.contains(u"Y=18"_s)) << geometry;  // 8 below the point
    callItem(service, u"/StatusNotifierItem"_s, u"org.kde.StatusNotifierItem"_s, u"Activate"_s,
             {600, 10});
    EXPECT_TRUE(waitUntil(5000, [&] { return visibleWindow(u"^Brimwatch panel$"_s).isEmpty(); }));

    // The card: on every desktop, in no taskbar or pager, below other windows.
    QString card;
    ASSERT_TRUE(
        waitUntil(5000, [&] { return !(card = visibleWindow(u"^Brimwatch card$"_s)).isEmpty(); }));
    const QString state =
        xtool(u"xprop"_s, {u"-id"_s, card, u"_NET_WM_STATE"_s, u"_NET_WM_DESKTOP"_s});
    for (const char* atom : {"_NET_WM_STATE_STICKY", "_NET_WM_STATE_SKIP_TASKBAR",
                             "_NET_WM_STATE_SKIP_PAGER", "_NET_WM_STATE_BELOW"})
        EXPECT_TRUE(state.contains(QString::fromLatin1(atom))) << atom << "\n" << state;
    EXPECT_FALSE(state.contains(u"_NET_WM_STATE_ABOVE"_s)) << state;
    EXPECT_TRUE(state.contains(u"_NET_WM_DESKTOP(CARDINAL) = 4294967295"_s)) << state;
    // Dragged by the user to (100, 200); remembered for the next launch. A move that is
    // not theirs is not.
    const QString place = xtool(u"xdotool"_s, {u"getwindowgeometry"_s, u"--shell"_s, card});
    const int x = QRegularExpression(u"X=(\\d+)"_s).match(place).captured(1).toInt();
    const int y = QRegularExpression(u"Y=(\\d+)"_s).match(place).captured(1).toInt();
    xtool(u"xdotool"_s, {u"mousemove"_s, u"--window"_s, card, u"20"_s, u"20"_s, u"mousedown"_s,
                         u"1"_s, u"mousemove_relative"_s, u"--"_s, QString::number(100 - x),
                         QString::number(200 - y), u"mouseup"_s, u"1"_s});
    waitUntil(1500, [] { return false; });
    xtool(u"xdotool"_s, {u"windowmove"_s, card, u"400"_s, u"400"_s});
    waitUntil(1000, [] { return false; });

    // A resume from sleep starts exactly one reading.
    const int before = runs();
    logind->write("wake\n");
    EXPECT_TRUE(waitUntil(10000, [&] { return runs() == before + 1; }));
    waitUntil(1000, [] { return false; });
    EXPECT_EQ(runs(), before + 1);

    // A panel that restarts brings a new watcher: the item registers with it again.
    const int beforeRestart = watcher->registrations;
    bus->unregisterService(u"org.kde.StatusNotifierWatcher"_s);
    waitUntil(300, [] { return false; });
    bus->registerService(u"org.kde.StatusNotifierWatcher"_s);
    EXPECT_TRUE(waitUntil(5000, [&] { return watcher->registrations == beforeRestart + 1; }));

    // A second copy ends at once, without an item of its own.
    const int registrations = watcher->registrations;
    auto second = launch();
    EXPECT_TRUE(second->waitForFinished(5000));
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_EQ(watcher->registrations, registrations);

    // "Quit" from the item's menu ends it.
    callItem(service, u"/MenuBar"_s, u"com.canonical.dbusmenu"_s, u"Event"_s,
             {4, u"clicked"_s, QVariant::fromValue(QDBusVariant(QString())), 0u});
    EXPECT_TRUE(app->waitForFinished(10000));
    EXPECT_EQ(app->exitCode(), 0);
}

TEST_F(Desktop, SecondLaunchWithAFailingTool) {
    const QString entry =
        TestHome::path() + u"/.config/autostart/com.velkorlab.brimwatch.desktop"_s;
    QFile::remove(entry);
    claude("echo 'Not logged in · Please run /login'\nexit 1\n");
    const int registered = watcher->registrations;
    auto app = launch();
    ASSERT_TRUE(waitUntil(15000, [&] { return watcher->registrations > registered; }));
    const QString service = watcher->items().last();
    QVariantMap props;
    EXPECT_TRUE(waitUntil(15000, [&] {
        props = itemProperties(service);
        return qdbus_cast<SniToolTip>(props.value(u"ToolTip"_s)).title ==
               QString::fromUtf16(UsageParser::kLoggedOut);
    })) << qdbus_cast<SniToolTip>(props.value(u"ToolTip"_s)).title;
    EXPECT_EQ(props.value(u"XAyatanaLabel"_s).toString(), u" -"_s);
    EXPECT_FALSE(QFile::exists(entry)) << "open at login is set on the first launch only";

    // The card comes back where the user left it.
    QString card;
    ASSERT_TRUE(
        waitUntil(5000, [&] { return !(card = visibleWindow(u"^Brimwatch card$"_s)).isEmpty(); }));
    const QString geometry = xtool(u"xdotool"_s, {u"getwindowgeometry"_s, u"--shell"_s, card});
    EXPECT_TRUE(geometry.contains(u"X=100\nY=200"_s)) << geometry;

    callItem(service, u"/MenuBar"_s, u"com.canonical.dbusmenu"_s, u"Event"_s,
             {4, u"clicked"_s, QVariant::fromValue(QDBusVariant(QString())), 0u});
    EXPECT_TRUE(app->waitForFinished(10000));
}

} // namespace

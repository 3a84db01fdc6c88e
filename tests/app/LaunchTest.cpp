// Two launches of the application as a person makes them: the first with a tool that
// answers, the second with one that is logged out.

#include "app/Desktop.h"
#include "platform/AppBusNames.h"
#include "store/HistoryDb.h"
#include "support/QtPrinters.h"
#include "usage/UsageParser.h"

#include <QDateTime>
#include <QFileInfo>
#include <QRegularExpression>

#include <csignal>
#include <sys/stat.h>

using namespace Qt::StringLiterals;
using namespace e2e;

namespace {

// Where a window is: "X=..\nY=..".
QString place(const QString& window) {
    return Desktop::xtool(u"xdotool"_s, {u"getwindowgeometry"_s, u"--shell"_s, window});
}

QString waitForWindow(const QString& name) {
    QString id;
    waitUntil(5000, [&] { return !(id = Desktop::visibleWindow(name)).isEmpty(); });
    return id;
}

TEST_F(Desktop, TwoLaunches) {
    // 82.5 % of the session, resetting in 2 h 5 min (the label says 2h 5m or, a moment
    // later, 2h 6m: the reset is whole minutes away from a moment within this minute).
    const QString at =
        QDateTime::currentDateTimeUtc().addSecs(2 * 3600 + 5 * 60 + 30).toString(u"h:mmap"_s);
    claude("echo 'Current session: 82.5% used · resets " + at.toUtf8() +
           " (UTC)'\n"
           "echo 'Current week (all models): 40% used'\n");
    // A history that is not a database: set aside, and readings go on into a new one.
    const QString support = TestHome::path() + u"/.local/share/Brimwatch"_s;
    const QString history = support + u"/history.sqlite"_s;
    TestHome::write(history.mid(TestHome::path().size() + 1), QByteArray(4096, '?'));
    watcher->publish(*panel);
    const QDateTime launched = QDateTime::currentDateTimeUtc();
    auto app = launch();
    ASSERT_TRUE(waitUntil(15000, [] { return watcher->registrations == 1; }));
    const QString service = watcher->items().value(0);
    QVariantMap props;
    ASSERT_TRUE(waitUntil(15000, [&] {
        props = itemProperties(service);
        return props.value(u"XAyatanaLabel"_s).toString().startsWith(u" 83%"_s);
    }));
    const QString label = props.value(u"XAyatanaLabel"_s).toString();
    EXPECT_TRUE(QRegularExpression(u"^ 83% · 2h [56]m$"_s).match(label).hasMatch()) << label;
    const QString tip = qdbus_cast<SniToolTip>(props.value(u"ToolTip"_s)).text;
    EXPECT_TRUE(
        QRegularExpression(u"^Session: 83% used, resets in 2h [56]m$"_s).match(tip).hasMatch())
        << tip;
    EXPECT_EQ(qdbus_cast<SniPixmaps>(props.value(u"IconPixmap"_s)).size(), 6);
    EXPECT_TRUE(QRegularExpression(u"^Claude usage: session 83%, resets in 2h [56]m$"_s)
                    .match(props.value(u"IconAccessibleDesc"_s).toString())
                    .hasMatch());
    EXPECT_EQ(qdbus_cast<QDBusObjectPath>(props.value(u"Menu"_s)).path(), u"/MenuBar"_s);

    // The files it leaves for diagnosis; open at login stays off for a program in its build
    // tree (the first-run tests see to the installed one).
    const QString entry =
        TestHome::path() + u"/.config/autostart/com.velkorlab.brimwatch.desktop"_s;
    EXPECT_TRUE(TestHome::read(support + u"/status.txt"_s).contains(u"Session: 83% - resets "_s));
    EXPECT_TRUE(waitUntil(6000, [&] {
        return TestHome::read(support + u"/menubar.txt"_s) ==
               u"menu bar item: visible=true frame={{0, 0}, {0, 0}}\n"_s;
    }));
    EXPECT_GE(launched.msecsTo(QFileInfo(support + u"/menubar.txt"_s).lastModified()), 2900)
        << "written three seconds after the launch";
    EXPECT_FALSE(QFile::exists(entry));

    // Activate opens the panel below the point (a fresh reading is not read again); a
    // second one, past the double-click time, closes it.
    const QVariantList point{600, 10};
    const int fresh = runs();
    call(service, u"/StatusNotifierItem"_s, u"org.kde.StatusNotifierItem"_s, u"Activate"_s, point);
    const QString panelWindow = waitForWindow(u"^Brimwatch panel$"_s);
    EXPECT_EQ(runs(), fresh);
    EXPECT_TRUE(place(panelWindow).contains(u"X=450\nY=18"_s)) << place(panelWindow);
    spin(700); // 400 ms by default
    call(service, u"/StatusNotifierItem"_s, u"org.kde.StatusNotifierItem"_s, u"Activate"_s, point);
    EXPECT_TRUE(waitUntil(5000, [] { return visibleWindow(u"^Brimwatch panel$"_s).isEmpty(); }));

    // The card: on every desktop, in no taskbar or pager, below other windows.
    QString card = waitForWindow(u"^Brimwatch card$"_s);
    EXPECT_EQ(xtool(u"xprop"_s, {u"-id"_s, card, u"_NET_WM_STATE"_s, u"_NET_WM_DESKTOP"_s}),
              u"_NET_WM_STATE(ATOM) = _NET_WM_STATE_STICKY, _NET_WM_STATE_SKIP_TASKBAR, "
              "_NET_WM_STATE_SKIP_PAGER, _NET_WM_STATE_BELOW\n"
              "_NET_WM_DESKTOP(CARDINAL) = 4294967295\n"_s);
    // Dragged by the user to (100, 200), remembered; a move that is not theirs is not.
    const QString was = place(card);
    const int x = QRegularExpression(u"X=(\\d+)"_s).match(was).captured(1).toInt();
    const int y = QRegularExpression(u"Y=(\\d+)"_s).match(was).captured(1).toInt();
    // As a hand drags: the button still held when the move arrives.
    xtool(u"xdotool"_s,
          {u"mousemove"_s, u"--window"_s, card, u"20"_s, u"20"_s, u"mousedown"_s, u"1"_s,
           u"sleep"_s, u"0.3"_s, u"mousemove_relative"_s, u"--"_s, QString::number(100 - x),
           QString::number(200 - y), u"sleep"_s, u"0.5"_s, u"mouseup"_s, u"1"_s});
    spin(1500);
    xtool(u"xdotool"_s, {u"windowmove"_s, card, u"400"_s, u"400"_s});
    spin(1000);

    // A resume from sleep starts exactly one reading.
    const int before = runs();
    wake();
    EXPECT_TRUE(waitUntil(10000, [&] { return runs() == before + 1; }));
    spin(1000);
    EXPECT_EQ(runs(), before + 1);

    // A second copy ends at once, without an item of its own, and the first shows its panel.
    auto second = launch();
    EXPECT_TRUE(second->waitForFinished(5000));
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_EQ(watcher->registrations, 1);
    EXPECT_FALSE(waitForWindow(u"^Brimwatch panel$"_s).isEmpty());

    // "Quit" from the item's menu ends it. Standard error heard of two things only: the
    // history set aside, and that the notice at 80 % had no service to show it.
    menu(service, 4);
    EXPECT_TRUE(app->waitForFinished(10000));
    EXPECT_EQ(app->exitCode(), 0);
    QStringList told = errors(*app).split(u'\n', Qt::SkipEmptyParts);
    told.sort();
    ASSERT_EQ(told.size(), 2) << told.join(u'\n');
    EXPECT_TRUE(told[0].startsWith(u"brimwatch: notifications can't be shown: The name "
                                   "org.freedesktop.Notifications was not provided"_s));
    EXPECT_TRUE(told[1].startsWith(u"brimwatch: the history in "_s + history)) << told[1];
    const QStringList aside = QDir(support).entryList({u"history.sqlite.broken-*"_s});
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(TestHome::read(support + u'/' + aside[0]), QString(4096, u'?'));
    EXPECT_GE(HistoryDb(history, true).since(Instant()).size(), 4); // two readings, two limits

    // The second launch, with a tool that is logged out.
    claude("echo 'Not logged in · Please run /login'\nexit 1\n");
    app = launch();
    ASSERT_TRUE(waitUntil(15000, [] { return watcher->registrations == 2; }));
    const QString again = watcher->items().last();
    EXPECT_TRUE(waitUntil(15000, [&] {
        props = itemProperties(again);
        return qdbus_cast<SniToolTip>(props.value(u"ToolTip"_s)).text ==
               QString::fromUtf16(UsageParser::kLoggedOut);
    }));
    EXPECT_EQ(props.value(u"XAyatanaLabel"_s).toString(), u" -"_s);
    // Opening the panel over an error reads again.
    const int failed = runs();
    call(again, u"/StatusNotifierItem"_s, u"org.kde.StatusNotifierItem"_s, u"Activate"_s, point);
    EXPECT_TRUE(waitUntil(5000, [&] { return runs() == failed + 1; }));
    card = waitForWindow(u"^Brimwatch card$"_s);
    EXPECT_TRUE(place(card).contains(u"X=100\nY=200"_s)) << place(card);
    menu(again, 4);
    EXPECT_TRUE(app->waitForFinished(10000));
}

// Whether a process is there and not a zombie waiting for its parent.
bool running(const QString& pidFile) {
    const QString pid = TestHome::read(pidFile).trimmed();
    const QString stat = TestHome::read(u"/proc/"_s + pid + u"/stat"_s);
    return !pid.isEmpty() && !stat.isEmpty() && stat.section(u") "_s, 1, 1).left(1) != u"Z"_s;
}

// FIFOs in place of its files, and a kill -9 in the middle of a reading: the app starts all
// the same and its menu answers even what it does not know; its tool dies with it, and what
// the tool started is ended at the next start.
TEST_F(Desktop, NothingHangsAndNothingOutlivesTheApp) {
    const QString home = TestHome::path() + u'/';
    claude("echo $$ > \"$HOME/tool.pid\"\nsleep 300 &\necho $! > \"$HOME/child.pid\"\nwait\n");
    for (const QString& file :
         {u".config/Brimwatch/Brimwatch.conf"_s, u".local/share/Brimwatch/usage.json"_s,
          u".local/share/Brimwatch/history.sqlite"_s}) {
        QDir().mkpath(QFileInfo(home + file).path());
        ASSERT_EQ(::mkfifo(QFile::encodeName(home + file).constData(), 0600), 0);
    }
    watcher->publish(*panel);
    auto app = launch();
    ASSERT_TRUE(waitUntil(15000, [] { return watcher->registrations == 1; }));
    for (const auto& [id, name] : {std::pair{99, u"label"_s}, {0, u"nonsense"_s}}) {
        const QDBusMessage reply = call(watcher->items().value(0), u"/MenuBar"_s,
                                        u"com.canonical.dbusmenu"_s, u"GetProperty"_s, {id, name});
        EXPECT_EQ(reply.errorName(), u"org.freedesktop.DBus.Error.InvalidArgs"_s) << id;
    }
    ASSERT_TRUE(waitUntil(15000, [&] { return running(home + u"child.pid"_s); }));

    ::kill(pid_t(app->processId()), SIGKILL);
    app->waitForFinished(5000);
    EXPECT_TRUE(waitUntil(1000, [&] { return !running(home + u"tool.pid"_s); }));
    EXPECT_TRUE(running(home + u"child.pid"_s)) << "left in the tool's group";
    claude("echo 'Current session: 5% used'\n");
    app = launch();
    ASSERT_TRUE(waitUntil(15000, [] { return watcher->registrations == 2; }));
    EXPECT_TRUE(waitUntil(5000, [&] { return !running(home + u"child.pid"_s); }));
    EXPECT_TRUE(errors(*app).contains(u"settings can't be read: "_s)) << "and the app started";
    menu(watcher->items().last(), 4);
    EXPECT_TRUE(app->waitForFinished(10000));
}

} // namespace

namespace {

// Claude Code's status line hands the app a reading: the tray, usage.json and the history
// have it within a second, without a run of the tool, and the tool's schedule is put off.
TEST_F(Desktop, StatusLineReadings) {
    claude("echo 'Current session: 5% used'\necho 'Current week (all models): 17% used'\n"
           "echo 'Current week (Opus): 3% used'\n");
    watcher->publish(*panel);
    auto app = launch();
    ASSERT_TRUE(waitUntil(15000, [] { return watcher->registrations == 1; }));
    const QString service = watcher->items().value(0);
    const auto tip = [&] { return toolTip(service); };
    ASSERT_TRUE(waitUntil(15000, [&] { return tip().startsWith(u"Session: 5% used"_s); }));
    const int before = runs();

    const qint64 now = QDateTime::currentSecsSinceEpoch();
    std::unique_ptr<QProcess> line(start(QStringLiteral(BRIMWATCH_EXE), {u"--statusline"_s}));
    line->write(QStringLiteral(R"({"rate_limits":{"five_hour":{"used_percentage":82.9,)"
                               R"("resets_at":%1},"seven_day":{"used_percentage":40,)"
                               R"("resets_at":%2}}})")
                    .arg(now + 7500)
                    .arg(now + 4 * 86400)
                    .toUtf8());
    line->closeWriteChannel();
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(line->waitForFinished(5000));
    EXPECT_EQ(line->exitCode(), 0);
    EXPECT_EQ(QString::fromUtf8(line->readAllStandardOutput()).left(10), u"◔ \x1b[33m82%"_s);
    const QString usage = TestHome::path() + u"/.local/share/Brimwatch/usage.json"_s;
    EXPECT_TRUE(waitUntil(1000 - int(clock.elapsed()), [&] {
        return tip().startsWith(u"Session: 82% used"_s) &&
               TestHome::read(usage).contains(u"\"source\":\"statusline\""_s);
    })) << tip().toStdString();
    const QString history = TestHome::path() + u"/.local/share/Brimwatch/history.sqlite"_s;
    EXPECT_TRUE(waitUntil(1000, [&] {
        for (const auto& s : HistoryDb(history, true).since(Instant()))
            if (s.percent == 82) // floored, as the tool's own screen prints it
                return true;
        return false;
    }));
    spin(3000);
    EXPECT_EQ(runs(), before) << "no tool run for a status line's reading";
    EXPECT_TRUE(TestHome::read(usage).contains(u"\"title\":\"Week · Opus\""_s))
        << "the other rows stay";
    // A caller sending megabytes of folder: dropped, said once, never echoed.
    const QString bus = QString::fromLatin1(AppBusNames::kService);
    for (int i = 0; i < 3; ++i)
        call(bus, QString::fromLatin1(AppBusNames::kPath), bus, u"ReportLimits"_s,
             {QVariantMap{{u"sessionPercent"_s, 50.0},
                          {u"sessionResetsAt"_s, now + 600.0},
                          {u"configDir"_s, QString(5 << 20, u'x')}}});
    EXPECT_TRUE(tip().startsWith(u"Session: 82% used"_s));
    menu(service, 4);
    EXPECT_TRUE(app->waitForFinished(10000));
    const QString said = errors(*app);
    EXPECT_EQ(said.count(u"over 4 KB"_s), 1);
    EXPECT_LT(said.size(), 4096);
}

} // namespace

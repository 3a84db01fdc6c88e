// Two launches of the application as a person makes them: the first with a tool that
// answers, the second with one that is logged out.

#include "app/Desktop.h"
#include "support/QtPrinters.h"
#include "usage/UsageParser.h"

#include <QDateTime>
#include <QRegularExpression>

using namespace Qt::StringLiterals;
using namespace e2e;

namespace {

TEST_F(Desktop, TwoLaunches) {
    // 82.5 % of the session, resetting in 2 h 5 min.
    const QString at =
        QDateTime::currentDateTimeUtc().addSecs(2 * 3600 + 5 * 60 + 30).toString(u"h:mmap"_s);
    claude("echo 'You are currently using your subscription to power your Claude Code usage'\n"
           "echo\n"
           "echo 'Current session: 82.5% used · resets " +
           at.toUtf8() +
           " (UTC)'\n"
           "echo 'Current week (all models): 40% used'\n");
    watcher->publish(*panel);
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
    call(service, u"/StatusNotifierItem"_s, u"org.kde.StatusNotifierItem"_s, u"Activate"_s,
         {600, 10});
    QString panel;
    ASSERT_TRUE(waitUntil(
        5000, [&] { return !(panel = visibleWindow(u"^Brimwatch panel$"_s)).isEmpty(); }));
    const QString geometry = xtool(u"xdotool"_s, {u"getwindowgeometry"_s, u"--shell"_s, panel});
    EXPECT_TRUE(geometry.contains(u"X=450"_s)) << geometry; // 600 less half of 300
    EXPECT_TRUE(geometry.contains(u"Y=18"_s)) << geometry;  // 8 below the point
    call(service, u"/StatusNotifierItem"_s, u"org.kde.StatusNotifierItem"_s, u"Activate"_s,
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
    pause(1500);
    xtool(u"xdotool"_s, {u"windowmove"_s, card, u"400"_s, u"400"_s});
    pause(1000);

    // A resume from sleep starts exactly one reading.
    const int before = runs();
    logind->write("wake\n");
    EXPECT_TRUE(waitUntil(10000, [&] { return runs() == before + 1; }));
    pause(1000);
    EXPECT_EQ(runs(), before + 1);

    // A second copy ends at once, without an item of its own.
    const int registrations = watcher->registrations;
    auto second = launch();
    EXPECT_TRUE(second->waitForFinished(5000));
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_EQ(watcher->registrations, registrations);

    // "Quit" from the item's menu ends it; nothing was said on standard error.
    menu(service, 4);
    EXPECT_TRUE(app->waitForFinished(10000));
    EXPECT_EQ(app->exitCode(), 0);
    EXPECT_EQ(errors(*app), QString());

    // The second launch, with a tool that fails.
    const QString entry =
        TestHome::path() + u"/.config/autostart/com.velkorlab.brimwatch.desktop"_s;
    QFile::remove(entry);
    claude("echo 'Not logged in · Please run /login'\nexit 1\n");
    const int again = watcher->registrations;
    app = launch();
    ASSERT_TRUE(waitUntil(15000, [&] { return watcher->registrations > again; }));
    const QString secondService = watcher->items().last();
    EXPECT_TRUE(waitUntil(15000, [&] {
        props = itemProperties(secondService);
        return qdbus_cast<SniToolTip>(props.value(u"ToolTip"_s)).title ==
               QString::fromUtf16(UsageParser::kLoggedOut);
    })) << qdbus_cast<SniToolTip>(props.value(u"ToolTip"_s)).title;
    EXPECT_EQ(props.value(u"XAyatanaLabel"_s).toString(), u" -"_s);
    EXPECT_FALSE(QFile::exists(entry)) << "open at login is set on the first launch only";

    // The card comes back where the user left it.
    ASSERT_TRUE(
        waitUntil(5000, [&] { return !(card = visibleWindow(u"^Brimwatch card$"_s)).isEmpty(); }));
    const QString restored = xtool(u"xdotool"_s, {u"getwindowgeometry"_s, u"--shell"_s, card});
    EXPECT_TRUE(restored.contains(u"X=100\nY=200"_s)) << restored;
    menu(secondService, 4);
    EXPECT_TRUE(app->waitForFinished(10000));
}

} // namespace

// The app speaks up: desktop notifications as a limit nears its end, and the card where
// there is no tray at all. A test notification service on the private session bus records
// what is sent.

#include "app/Desktop.h"
#include "support/QtPrinters.h"
#include "support/TestNotifications.h"

#include <QSettings>

using namespace Qt::StringLiterals;
using namespace e2e;

namespace {

class Speaking : public Desktop {
public:
    void SetUp() override {
        Desktop::SetUp();
        if (!IsSkipped()) {
            ASSERT_TRUE(notifications.publish(*panel));
        }
    }
    void TearDown() override {
        panel->unregisterService(u"org.freedesktop.Notifications"_s);
        panel->unregisterObject(u"/org/freedesktop/Notifications"_s);
    }
    TestNotifications notifications;
};

TEST_F(Speaking, NotificationsAtTheBands) {
    // The tool reads its figures from files the test writes.
    claude("echo \"Current session: $(cat \"$HOME/percent\")% used · resets $(cat \"$HOME/reset\") "
           "(UTC)\"\ncat \"$HOME/more\" 2>/dev/null\n");
    watcher->publish(*panel);
    const auto set = [](const char* percent, const char* reset) {
        TestHome::write(u"percent"_s, percent);
        TestHome::write(u"reset"_s, reset);
    };
    set("75", "Dec 31, 2030, 9pm");
    auto app = launch();
    ASSERT_TRUE(waitUntil(15000, [] { return watcher->registrations == 1; }));
    const QString service = watcher->items().value(0);
    const auto shows = [&](const QString& percent) {
        return waitUntil(10000, [&] {
            return itemProperties(service)
                .value(u"XAyatanaLabel"_s)
                .toString()
                .startsWith(u' ' + percent + u'%');
        });
    };
    ASSERT_TRUE(shows(u"75"_s));
    // One bubble for the session that escalates while it shows, then goes with its window. A
    // bubble the server has closed (expired) is not replaced: the next notice pops up anew. A
    // notice that could not be shown (no service for a while) is sent again at each reading.
    const struct {
        const char* percent;
        const char* reset;
        QStringList told;  // "summary | urgency | replaces", or "close N"
        bool away = false; // no notification service
        uint expires = 0;  // the bubble the server expires before the reading
    } steps[] = {
        {"85", "Dec 31, 2030, 9pm", {u"Claude session at 85% | 1 | 0"_s}},
        {"86", "Dec 31, 2030, 9pm", {}},
        {"96", "Dec 31, 2030, 9pm", {}, true},
        {"96", "Dec 31, 2030, 9pm", {}, true}, // refused twice, then shown all the same
        {"96", "Dec 31, 2030, 9pm", {u"Claude session at 96% | 1 | 1"_s}},
        {"97", "Dec 31, 2030, 9:04pm", {}, false, 1},
        {"100", "Dec 31, 2030, 9:01pm", {u"Claude session limit reached | 2 | 0"_s}},
        {"5", "Dec 31, 2030, 9pm", {}},
        {"100", "Dec 31, 2030, 9pm", {}},
        {"3", "Jan 1, 2031, 9pm", {u"close 2"_s, u"Claude session is back to 3% | 1 | 0"_s}},
        {"85", "Jan 1, 2031, 9pm", {u"Claude session at 85% | 1 | 0"_s}, false, 3},
    };
    for (const auto& s : steps) {
        const qsizetype before = notifications.calls.size();
        if (s.away)
            panel->unregisterService(u"org.freedesktop.Notifications"_s);
        if (s.expires)
            emit notifications.NotificationClosed(s.expires, 1);
        set(s.percent, s.reset);
        menu(service, 2); // "Refresh now"
        ASSERT_TRUE(shows(QString::fromLatin1(s.percent))) << s.percent;
        waitUntil(5000, [&] { return notifications.calls.size() >= before + s.told.size(); });
        spin(300);
        QStringList calls;
        for (const QString& call : notifications.calls.mid(before)) {
            const QStringList f = call.split(u" | "_s);
            if (f.size() < 9) {
                calls << call;
                continue;
            }
            EXPECT_EQ(f[0] + f[1] + f[7] + f[8], u"Brimwatchbrimwatchbrimwatchimage"_s);
            EXPECT_TRUE(f[3].startsWith(u"Resets in "_s)) << f[3];
            EXPECT_EQ(f[5], u"default,Show usage"_s);
            calls << f[2] + u" | "_s + f[4] + u" | "_s + f[6];
        }
        EXPECT_EQ(calls, s.told) << s.percent;
        if (s.away)
            panel->registerService(u"org.freedesktop.Notifications"_s);
    }

    // A tool that prints thirty limits near their end: notices and marks for the twelve the
    // panel shows, and no more.
    QByteArray more;
    for (int i = 0; i < 30; ++i)
        more += "Current week (Model " + QByteArray::number(i) + "): 90% used\n";
    TestHome::write(u"more"_s, more);
    const qsizetype before = notifications.calls.size();
    menu(service, 2);
    waitUntil(5000, [&] { return notifications.calls.size() >= before + 11; });
    spin(500);
    EXPECT_EQ(notifications.calls.size(), before + 11);
    QSettings stored(TestHome::path() + u"/.config/Brimwatch/Brimwatch.conf"_s,
                     QSettings::IniFormat);
    stored.beginGroup(u"Alerts"_s);
    EXPECT_EQ(stored.childKeys().size(), 12);

    // A click on one of our notices opens the panel, even one the server said had closed (as
    // Plasma's history does); a click on another program's does not. The panel closes the
    // bubbles that stand: it says the same.
    notifications.click(notifications.bubbles + 1);
    spin(500);
    EXPECT_TRUE(visibleWindow(u"^Brimwatch panel$"_s).isEmpty());
    notifications.click(3);
    EXPECT_TRUE(waitUntil(5000, [] { return !visibleWindow(u"^Brimwatch panel$"_s).isEmpty(); }));
    EXPECT_TRUE(waitUntil(5000, [&] {
        return notifications.calls.filter(u"close"_s).size() == 13;
    })) << "close 2, and 4 to 15";
    menu(service, 4);
    EXPECT_TRUE(app->waitForFinished(10000));
}

TEST_F(Speaking, NoTrayAtAll) {
    claude("echo 'Current session: 42% used'\n");
    TestHome::write(u".config/Brimwatch/Brimwatch.conf"_s, "[General]\ndesktopWidget=false\n");
    QElapsedTimer since;
    since.start();
    auto app = launch();
    EXPECT_TRUE(waitUntil(12000, [] { return !visibleWindow(u"^Brimwatch card$"_s).isEmpty(); }))
        << "the card stands in for the tray";
    EXPECT_GE(since.elapsed(), 9000);
    waitUntil(2000, [&] { return !notifications.calls.isEmpty(); });
    EXPECT_EQ(notifications.calls,
              QStringList{u"Brimwatch | brimwatch | Brimwatch has no tray here | Right-click its "
                          "desktop card for the menu. | 1 | default,Show usage | 0 | brimwatch | "
                          "image"_s});
    EXPECT_TRUE(TestHome::read(TestHome::path() + u"/.config/Brimwatch/Brimwatch.conf"_s)
                    .contains(u"desktopWidget=false"_s))
        << "the card's stand-in is not stored";

    // A panel starts after all: the item goes to it, and the card away.
    watcher->publish(*panel);
    ASSERT_TRUE(waitUntil(5000, [] { return watcher->registrations == 1; }));
    EXPECT_TRUE(waitUntil(5000, [] { return visibleWindow(u"^Brimwatch card$"_s).isEmpty(); }));
    menu(watcher->items().value(0), 4);
    EXPECT_TRUE(app->waitForFinished(10000));

    // The notice is told once, not at every launch; with "Notify near limits" off, a limit
    // near its end sends nothing and leaves no mark.
    watcher->unpublish(*panel);
    claude("echo 'Current session: 96% used · resets Dec 31, 2030, 9pm (UTC)'\n");
    const QString conf = TestHome::path() + u"/.config/Brimwatch/Brimwatch.conf"_s;
    QSettings(conf, QSettings::IniFormat).setValue(u"notifyNearLimits"_s, false);
    const QString settings = TestHome::read(conf);
    app = launch();
    EXPECT_TRUE(waitUntil(12000, [] { return !visibleWindow(u"^Brimwatch card$"_s).isEmpty(); }));
    spin(1000);
    EXPECT_EQ(notifications.calls.size(), 1);
    EXPECT_EQ(TestHome::read(conf), settings);
    app->terminate();
    EXPECT_TRUE(app->waitForFinished(10000));
}

} // namespace

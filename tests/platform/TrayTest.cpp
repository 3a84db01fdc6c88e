// The tray item as a panel sees it over D-Bus: what it announces, what its menu does, and
// how it follows watchers and hosts that come and go. A private bus, no display.

#include "platform/DBusTypes.h"
#include "platform/QuitSignals.h"
#include "platform/StatusNotifierItem.h"
#include "platform/TrayHost.h"
#include "support/PrivateBus.h"
#include "support/QtPrinters.h"
#include "support/TestHome.h"
#include "support/TestWatcher.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QImage>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <csignal>

using namespace Qt::StringLiterals;

namespace {

// Records the D-Bus signals an item sends, by name.
class Recorder : public QObject {
    Q_OBJECT
public:
    QStringList names;
    QList<QDBusMessage> messages;

public slots:
    void record(const QDBusMessage& m) {
        names << m.member();
        messages << m;
    }
};

class Tray : public ::testing::Test {
protected:
    void SetUp() override {
        if (!bus.ok())
            GTEST_SKIP() << "no dbus-daemon";
        registerTrayDBusTypes();
    }

    QDBusMessage call(const QString& service, const QString& path, const QString& iface,
                      const QString& method, const QVariantList& args = {}) {
        QDBusMessage m = QDBusMessage::createMethodCall(service, path, iface, method);
        m.setArguments(args);
        return panel.call(m, QDBus::BlockWithGui, 5000); // the item lives in this thread
    }

    PrivateBus bus;
    QDBusConnection app = bus.connect(u"app"_s);
    QDBusConnection panel = bus.connect(u"panel"_s);
    TestWatcher watcher;
};

TEST_F(Tray, EveryChangeIsAnnouncedToThePanel) {
    ASSERT_TRUE(watcher.publish(panel));
    StatusNotifierItem item(app);
    ASSERT_TRUE(waitUntil(3000, [&] { return item.isVisible(); }));
    Recorder rec;
    const QString service = item.serviceName(), path = u"/StatusNotifierItem"_s;
    for (const char* name : {"NewIcon", "NewToolTip", "XAyatanaNewLabel"})
        panel.connect(service, path, u"org.kde.StatusNotifierItem"_s, QString::fromLatin1(name),
                      &rec, SLOT(record(QDBusMessage)));
    panel.connect(service, path, u"org.freedesktop.DBus.Properties"_s, u"PropertiesChanged"_s, &rec,
                  SLOT(record(QDBusMessage)));
    QImage ring(22, 22, QImage::Format_ARGB32);
    ring.fill(Qt::red);

    const struct {
        const char* name;
        std::function<void()> change;
        QStringList announced;
        QString property;
    } cases[] = {
        {"label",
         [&] { item.setLabel(u" 83% · 2h 5m"_s); },
         {u"XAyatanaNewLabel"_s, u"PropertiesChanged"_s},
         u"XAyatanaLabel"_s},
        {"tooltip",
         [&] { item.setToolTip(u"Session: 83% used"_s); },
         {u"NewToolTip"_s, u"PropertiesChanged"_s},
         u"ToolTip"_s},
        {"icon",
         [&] { item.setIcons({ring}); },
         {u"NewIcon"_s, u"PropertiesChanged"_s},
         u"IconPixmap"_s},
        {"description",
         [&] { item.setDescription(u"Claude usage: session 83%"_s); },
         {u"PropertiesChanged"_s},
         u"IconAccessibleDesc"_s},
        {"the same label again", [&] { item.setLabel(u" 83% · 2h 5m"_s); }, {}, {}},
    };
    for (const auto& c : cases) {
        rec.names.clear();
        rec.messages.clear();
        c.change();
        waitUntil(3000, [&] { return rec.names.size() >= c.announced.size(); });
        spin(100); // and nothing more
        EXPECT_EQ(rec.names, c.announced) << c.name;
        if (c.property.isEmpty())
            continue;
        const QVariantMap changed = qdbus_cast<QVariantMap>(rec.messages.last().arguments()[1]);
        EXPECT_TRUE(changed.contains(c.property)) << c.name;
    }
    // Each pixel goes out as A, R, G, B.
    EXPECT_EQ(item.pixmaps().value(0).bytes.left(4), QByteArray("\xff\xff\x00\x00", 4));
}

// Every host gets the menu: the readings first, greyed, then what can be done.
TEST_F(Tray, TheMenuReadsFirst) {
    StatusNotifierItem item(app);
    const QString service = item.serviceName(), iface = u"com.canonical.dbusmenu"_s;
    const QDBusMessage path =
        call(service, u"/StatusNotifierItem"_s, u"org.freedesktop.DBus.Properties"_s, u"Get"_s,
             {u"org.kde.StatusNotifierItem"_s, u"Menu"_s});
    EXPECT_EQ(
        qdbus_cast<QDBusVariant>(path.arguments().value(0)).variant().value<QDBusObjectPath>(),
        QDBusObjectPath(u"/MenuBar"_s));
    Recorder rec;
    panel.connect(service, u"/MenuBar"_s, iface, u"LayoutUpdated"_s, &rec,
                  SLOT(record(QDBusMessage)));
    const auto layout = [&] {
        const QDBusMessage m = call(service, u"/MenuBar"_s, iface, u"GetLayout"_s,
                                    {0, -1, QStringList{u"label"_s, u"enabled"_s, u"type"_s}});
        QStringList items;
        for (const DBusMenuLayoutItem& c :
             qdbus_cast<DBusMenuLayoutItem>(m.arguments().value(1)).children)
            items << (c.properties.value(u"type"_s).toString() == u"separator"_s
                          ? u"--"_s
                          : c.properties.value(u"label"_s).toString() +
                                (c.properties.value(u"enabled"_s).toBool() ? u""_s
                                                                           : u" (greyed)"_s));
        return std::pair(m.arguments().value(0).toUInt(), items);
    };
    const auto [first, none] = layout();
    EXPECT_EQ(none, (QStringList{u"Show usage"_s, u"Refresh now"_s, u"--"_s, u"Quit"_s}));
    item.setReadings({u"Session: 82% used, resets in 2h 5m"_s, u"my_work · Week: 3% used"_s});
    const auto [second, two] = layout();
    EXPECT_EQ(two, (QStringList{u"Session: 82% used, resets in 2h 5m (greyed)"_s,
                                u"my__work · Week: 3% used (greyed)"_s, u"--"_s, u"Show usage"_s,
                                u"Refresh now"_s, u"--"_s, u"Quit"_s}));
    EXPECT_GT(second, first);
    EXPECT_TRUE(waitUntil(3000, [&] { return rec.names.size() == 1; })) << "LayoutUpdated";
    item.setReadings({u"Session: 82% used, resets in 2h 5m"_s, u"my_work · Week: 3% used"_s});
    spin(100);
    EXPECT_EQ(rec.names.size(), 1) << "the same readings again change nothing";

    // The host says when it shows the menu: it takes the panel's place.
    QSignalSpy opened(&item, &TrayItem::menuOpened);
    call(service, u"/MenuBar"_s, iface, u"Event"_s,
         {0, u"opened"_s, QVariant::fromValue(QDBusVariant(QString())), 0u});
    EXPECT_TRUE(waitUntil(3000, [&] { return opened.size() == 1; }));
}

TEST_F(Tray, EachMenuItemDoesWhatItSays) {
    StatusNotifierItem item(app);
    const QString service = item.serviceName(), menu = u"/MenuBar"_s;
    const QString iface = u"com.canonical.dbusmenu"_s;
    QSignalSpy show(&item, &TrayItem::showUsageRequested),
        refresh(&item, &TrayItem::refreshRequested), quit(&item, &TrayItem::quitRequested);
    const std::map<QString, QSignalSpy*> expected{
        {u"Show usage"_s, &show}, {u"Refresh now"_s, &refresh}, {u"Quit"_s, &quit}};

    const QDBusMessage layout = call(service, menu, iface, u"GetLayout"_s, {0, -1, QStringList()});
    ASSERT_EQ(layout.arguments().size(), 2) << layout.errorMessage();
    const auto root = qdbus_cast<DBusMenuLayoutItem>(layout.arguments()[1]);
    QStringList labels;
    int refreshId = -1;
    const QVariant noData = QVariant::fromValue(QDBusVariant(QString()));
    for (const DBusMenuLayoutItem& child : root.children) {
        const QString label = child.properties.value(u"label"_s).toString();
        if (label.isEmpty())
            continue;
        labels << label;
        if (label == u"Refresh now")
            refreshId = child.id;
        ASSERT_TRUE(expected.count(label)) << label;
        call(service, menu, iface, u"Event"_s, {child.id, u"clicked"_s, noData, 0u});
        waitUntil(3000, [&] { return expected.at(label)->count() == 1; });
        for (const auto& [other, spy] : expected)
            EXPECT_EQ(spy->count(), other == label ? 1 : 0) << "clicked " << label;
        for (const auto& [other, spy] : expected)
            spy->clear();
    }
    EXPECT_EQ(labels, (QStringList{u"Show usage"_s, u"Refresh now"_s, u"Quit"_s}));
    EXPECT_TRUE(call(service, menu, iface, u"GetLayout"_s, {100, 0, QStringList()})
                    .errorName()
                    .contains(u"InvalidArgs"_s))
        << "no readings, no reading item";

    // Hosts may send events in groups; ids it does not know come back.
    DBusMenuEventList events(2);
    events[0].id = refreshId;
    events[1].id = 99;
    for (DBusMenuEvent& e : events) {
        e.eventId = u"clicked"_s;
        e.data = QDBusVariant(0);
    }
    const QDBusMessage group =
        call(service, menu, iface, u"EventGroup"_s, {QVariant::fromValue(events)});
    EXPECT_EQ(qdbus_cast<QList<int>>(group.arguments().value(0)), QList<int>{99})
        << group.errorMessage();
    waitUntil(3000, [&] { return refresh.count() == 1; });
    EXPECT_EQ(refresh.count(), 1);
    const QString introspection =
        call(service, menu, u"org.freedesktop.DBus.Introspectable"_s, u"Introspect"_s)
            .arguments()
            .value(0)
            .toString();
    EXPECT_TRUE(introspection.contains(u"\"ItemsPropertiesUpdated\""_s));
}

// At login the panel may start after the app; later it may restart, or lose its host.
TEST_F(Tray, TheItemFollowsWatchersAndHostsThatComeAndGo) {
    TrayHost tray(app);
    QSignalSpy changes(&tray, &TrayItem::visibilityChanged);
    spin(200);
    EXPECT_FALSE(tray.isVisible()) << "no watcher yet";

    const struct {
        const char* name;
        std::function<void()> panelDoes;
        bool visible;
        int registrations;
    } steps[] = {
        {"a watcher appears", [&] { watcher.publish(panel); }, true, 1},
        {"its host goes", [&] { watcher.setHost(false); }, false, 1},
        {"a host comes", [&] { watcher.setHost(true); }, true, 1},
        {"the watcher goes", [&] { watcher.unpublish(panel); }, false, 1},
        {"a new one comes", [&] { watcher.publish(panel); }, true, 2},
    };
    for (const auto& s : steps) {
        changes.clear();
        s.panelDoes();
        EXPECT_TRUE(waitUntil(3000, [&] { return tray.isVisible() == s.visible; })) << s.name;
        EXPECT_EQ(changes.count(), 1) << s.name;
        EXPECT_EQ(watcher.registrations, s.registrations) << s.name;
    }
}

TEST(QuitSignals, TerminationIsTurnedIntoASignal) {
    QuitSignals quit;
    QSignalSpy received(&quit, &QuitSignals::received);
    for (int sig : {SIGTERM, SIGINT}) {
        std::raise(sig);
        EXPECT_TRUE(waitUntil(3000, [&] { return !received.isEmpty(); })) << sig;
        EXPECT_EQ(received.takeFirst().value(0).toInt(), sig);
    }
}

} // namespace

#include "TrayTest.moc"

// Trays that are not there when the app starts: an XEmbed tray first, then, 5 seconds in,
// a StatusNotifierWatcher, as at a login where the panel starts after autostart. Then the
// system asks the app to end while a reading runs. And the desktop's light and dark, changed
// over the bus while the app runs.

#include "app/Desktop.h"
#include "support/QtPrinters.h"

#include <QDBusContext>
#include <QImage>
#include <QRegularExpression>

#include <csignal>

using namespace Qt::StringLiterals;
using namespace e2e;

namespace {

// The XDG desktop portal's settings and XFCE's xfconf, as far as the look goes: each says
// what it was told last, and tells of a change.
class Portal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")
public:
    uint scheme = 2; // prefers light
    void set(uint s) {
        scheme = s;
        emit SettingChanged(u"org.freedesktop.appearance"_s, u"color-scheme"_s,
                            QDBusVariant(scheme));
    }
public slots:
    // Read wraps the value in a second variant.
    QDBusVariant Read(const QString&, const QString&) {
        return QDBusVariant(QVariant::fromValue(QDBusVariant(scheme)));
    }
signals:
    void SettingChanged(const QString& group, const QString& key, const QDBusVariant& value);
};

class Xfconf : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.xfce.Xfconf")
public:
    bool dark = false;
    void set(bool d) {
        dark = d;
        emit PropertyChanged(u"xfce4-panel"_s, u"/panels/dark-mode"_s, QDBusVariant(dark));
    }
public slots:
    QDBusVariant GetProperty(const QString&, const QString&) { return QDBusVariant(dark); }
signals:
    void PropertyChanged(const QString& channel, const QString& property,
                         const QDBusVariant& value);
};

// The mean lightness of the ring's opaque pixels: its digits and track in the ink it has.
int inkOf(const QString& item) {
    const auto pixmaps =
        qdbus_cast<SniPixmaps>(Desktop::itemProperties(item).value(u"IconPixmap"_s));
    if (pixmaps.isEmpty())
        return -1;
    const SniPixmap& p = pixmaps.last();
    long sum = 0, n = 0;
    for (qsizetype i = 0; i + 3 < p.bytes.size(); i += 4)
        if (uchar(p.bytes[i]) > 200) {
            sum += (uchar(p.bytes[i + 1]) + uchar(p.bytes[i + 2]) + uchar(p.bytes[i + 3])) / 3;
            ++n;
        }
    return n ? int(sum / n) : -1;
}

// The lightness of the card's fill, from a picture of its window.
int cardLightness() {
    const QString id = Desktop::visibleWindow(u"^Brimwatch card$"_s).section(u'\n', 0, 0);
    std::unique_ptr<QProcess> shot(Desktop::start(u"import"_s, {u"-window"_s, id, u"png:-"_s}));
    shot->waitForFinished(10000);
    const QImage image = QImage::fromData(shot->readAllStandardOutput());
    return image.isNull() ? -1 : QColor(image.pixel(image.width() / 2, 8)).lightness();
}

// How many of the app's icons the XEmbed tray holds.
int docked() {
    const QStringList tree = Desktop::xtool(u"xwininfo"_s, {u"-root"_s, u"-tree"_s}).split(u'\n');
    int count = 0;
    qsizetype trayDepth = -1;
    for (const QString& line : tree) {
        const qsizetype depth = line.size() - line.trimmed().size();
        if (line.contains(u"(\"panel\" \"trayer\")"_s))
            trayDepth = depth;
        else if (trayDepth >= 0 && depth <= trayDepth)
            trayDepth = -1;
        else if (trayDepth >= 0 && line.contains(u"(\"brimwatch\" "_s))
            ++count;
    }
    return count;
}

// Whether a process runs (a zombie has ended).
bool running(const QString& pid) {
    const QString stat = TestHome::read(u"/proc/"_s + pid.trimmed() + u"/stat"_s);
    return !stat.isEmpty() && stat.mid(stat.lastIndexOf(u')') + 2, 1) != u"Z";
}

TEST_F(Desktop, ATrayThatComesLate) {
    if (QStandardPaths::findExecutable(u"trayer"_s).isEmpty())
        GTEST_SKIP() << "trayer is not installed";
    claude("echo 'Current session: 42% used'\n");
    std::unique_ptr<QProcess> trayer(
        start(u"trayer"_s, {u"--edge"_s, u"top"_s, u"--align"_s, u"right"_s, u"--widthtype"_s,
                            u"pixel"_s, u"--width"_s, u"120"_s, u"--height"_s, u"24"_s}));
    ASSERT_TRUE(waitUntil(5000, [] { return !visibleWindow(u"^panel$"_s).isEmpty(); }));

    QElapsedTimer since;
    since.start();
    auto app = launch();
    EXPECT_TRUE(waitUntil(5000, [] { return docked() == 1; })) << "the XEmbed icon";

    spin(int(5000 - since.elapsed()));
    ASSERT_EQ(watcher->registrations, 0);
    watcher->publish(*panel);
    ASSERT_TRUE(waitUntil(5000, [] { return watcher->registrations == 1; }));
    const QString service = watcher->items().value(0);
    EXPECT_TRUE(waitUntil(5000, [&] {
        return itemProperties(service).value(u"XAyatanaLabel"_s).toString() == u" 42%"_s;
    }));
    EXPECT_TRUE(waitUntil(5000, [] { return docked() == 0; })) << "one icon, not two";
    EXPECT_EQ(watcher->items().size(), 1);

    // Told to end while the tool runs: the app ends as "Quit" ends it, the tool first.
    claude("echo $$ > \"$HOME/tool.pid\"\nsleep 30\n");
    menu(service, 2); // "Refresh now"
    const QString pidFile = TestHome::path() + u"/tool.pid"_s;
    ASSERT_TRUE(waitUntil(5000, [&] { return QFile::exists(pidFile); }));
    ::kill(pid_t(app->processId()), SIGTERM);
    EXPECT_TRUE(app->waitForFinished(5000));
    EXPECT_EQ(app->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app->exitCode(), 0);
    EXPECT_FALSE(running(TestHome::read(pidFile)));
    EXPECT_EQ(errors(*app), QString());

    watcher->unpublish(*panel);
    trayer->terminate();
    trayer->waitForFinished(5000);
}

// XFCE's panel turned dark, and the desktop's preference with it, while the app runs: the
// ring's ink and the card follow within a second, and back again, each time.
TEST_F(Desktop, LightAndDarkWhileRunning) {
    claude("echo 'Current session: 42% used'\n");
    Portal portal;
    Xfconf xfconf;
    panel->registerObject(u"/org/freedesktop/portal/desktop"_s, &portal,
                          QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals);
    panel->registerObject(u"/org/xfce/Xfconf"_s, &xfconf,
                          QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals);
    for (const char* name : {"org.freedesktop.portal.Desktop", "org.xfce.Xfconf"})
        panel->registerService(QString::fromLatin1(name));
    watcher->publish(*panel);
    auto app = launch({u"XDG_CURRENT_DESKTOP=XFCE"_s});
    ASSERT_TRUE(waitUntil(15000, [] { return watcher->registrations == 1; }));
    const QString item = watcher->items().value(0);
    ASSERT_TRUE(waitUntil(10000, [&] {
        return inkOf(item) >= 0 && inkOf(item) < 100 &&
               !visibleWindow(u"^Brimwatch card$"_s).isEmpty();
    })) << "dark ink on a light panel at the start";
    ASSERT_GT(cardLightness(), 160);
    for (bool dark : {true, false, true}) {
        xfconf.set(dark);
        EXPECT_TRUE(waitUntil(1000, [&] { return (inkOf(item) > 128) == dark; })) << dark;
        portal.set(dark ? 1 : 2);
        EXPECT_TRUE(waitUntil(1000, [&] { return (cardLightness() < 100) == dark; })) << dark;
    }
    app->terminate();
    app->waitForFinished(5000);
    for (const char* name : {"org.freedesktop.portal.Desktop", "org.xfce.Xfconf"})
        panel->unregisterService(QString::fromLatin1(name));
    panel->unregisterObject(u"/org/freedesktop/portal/desktop"_s);
    panel->unregisterObject(u"/org/xfce/Xfconf"_s);
}

} // namespace

#include "TraysTest.moc"

// The application shell's pieces on Qt's offscreen platform: the tray's texts, ring and menu,
// and the first run.

#include "app/AppDelegate.h"
#include "app/DesktopWidget.h"
#include "app/RingImage.h"
#include "commands/Waybar.h"
#include "platform/DesktopLook.h"
#include "platform/XEmbedTray.h"
#include "platform/XSettings.h"
#include "prefs/LoginItem.h"
#include "prefs/Prefs.h"
#include "prefs/Settings.h"
#include "store/Alerts.h"
#include "store/UsageStore.h"
#include "support/Contrast.h"
#include "support/StoreFixture.h"
#include "support/StoredSettings.h"
#include "support/Table.h"
#include "support/TestHome.h"
#include "support/TestTime.h"
#include "usage/TrayText.h"
#include "views/Fit.h"
#include "views/HistoryView.h"
#include "views/LimitRow.h"
#include "views/Palette.h"
#include "views/PopoverView.h"
#include "views/TextLabel.h"
#include "views/UsageContent.h"
#include "views/WidgetView.h"

#include <QAction>
#include <QDir>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QSignalSpy>

using namespace Qt::StringLiterals;

namespace {

const Instant kNow = utc(2025, 10, 10, 20, 0);
using Ink = DesktopLook::Ink;

// "session percent [in seconds to its reset] [loading] [error]" in, "label | tooltip" out.
TEST(TrayText, Table) {
    const Row rows[] = {
        {"82.5 in 7500", " 83% · 2h 5m | Session: 83% used, resets in 2h 5m"},
        {"82.4", " 82% | Session: 82% used"},
        {"0 in 60", " 0% · 1m | Session: 0% used, resets in 1m"},
        {"140 loading error", " 140% | Session: 140% used"},
        {"50 in -60", " 50% | Session: 50% used"},
        {"50 in 0", " 50% | Session: 50% used"},
        {"- loading", " ... | Claude usage"},
        {"- loading error", " ... | boom"},
        {"- error", " - | boom"},
        {"-", " - | Claude usage"},
    };
    checkTable(rows, [](const QString& in) {
        const QStringList w = in.split(u' ');
        std::optional<Limit> session;
        if (w[0] != u"-") {
            session = Limit{u"Current session"_s, u"Session"_s, w[0].toDouble(), {}, {}};
            if (w.value(1) == u"in")
                session->resetsAt = kNow + w[2].toDouble();
        }
        const TrayText t =
            trayText(session, w.contains(u"loading"_s),
                     w.contains(u"error"_s) ? std::optional(u"boom"_s) : std::nullopt, kNow);
        return t.label + u" | "_s + t.toolTip;
    });
    // An error in the tooltip is cut at 300 characters.
    EXPECT_EQ(trayText(std::nullopt, false, QString(400, u'x'), kNow).toolTip,
              QString(300, u'x') + u'…');
}

// The menu's readings: every limit, at most as many as the panel shows; several accounts
// name theirs; an account without a reading says why in one short line.
TEST(TrayText, MenuLines) {
    const Limit session{u"Current session"_s, u"Session"_s, 82.5, kNow + 7500, {}};
    const Limit week{u"Current week"_s, u"Week"_s, 3, {}, {}};
    const QString longError = u"The tool failed\n"_s + QString(100, u'x');
    const struct {
        const char* what;
        QList<MenuAccount> accounts;
        QStringList lines;
    } cases[] = {
        {"one account",
         {{u"Claude"_s, {session, week}, false, {}}},
         {u"Session: 83% used, resets in 2h 5m"_s, u"Week: 3% used"_s}},
        {"more limits than the panel shows",
         {{u"Claude"_s, {session, week, week}, false, {}}},
         {u"Session: 83% used, resets in 2h 5m"_s, u"Week: 3% used"_s}},
        {"several accounts",
         {{u"Claude"_s, {week}, false, {}},
          {u"Work"_s, {}, true, {}},
          {u"Home"_s, {}, false, longError},
          {u"New"_s, {}, false, {}}},
         {u"Claude · Week: 3% used"_s, u"Work · Reading…"_s, u"Home · The tool failed"_s,
          u"New · No reading yet"_s}},
        {"an error alone, cut",
         {{u"Claude"_s, {}, false, QString(100, u'y')}},
         {QString(80, u'y') + u'…'}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(trayMenuLines(c.accounts, kNow, 2), c.lines) << c.what;
}

// The ring's colours, each at 3:1 or more against the panels that take its ink: light ones
// (Breeze, Adwaita, white) for the dark ink, dark ones (Breeze Dark, GNOME's black bar, XFCE's
// dark panel) for the light and the outlined.
TEST(RingImage, ArcsStandOutOnTheirPanels) {
    const QColor light[] = {QColor(0xeff0f1), QColor(0xf6f5f4), Qt::white};
    const QColor dark[] = {QColor(0x31363b), Qt::black, QColor(0x353535)};
    for (Ink ink : {Ink::Dark, Ink::Light, Ink::Outlined})
        for (double percent : {50.0, 85.0, 100.0})
            for (const QColor& panel : ink == Ink::Dark ? light : dark)
                EXPECT_GE(contrast(ringColor(percent, ink), panel), 3.0)
                    << int(ink) << " at " << percent << " on " << panel.name().toStdString();
}

TEST(RingImage, ArcColourAndTrack) {
    // At 150 px the ring runs from 16 to 134, centred on 75, 22 px thick.
    const auto alphaAt = [](const QImage& i, int x, int y) { return qAlpha(i.pixel(x, y)); };
    const QImage half = ringImage(50.0, Ink::Dark, 150);
    EXPECT_EQ(alphaAt(half, 134, 75), 255);           // right: on the arc
    EXPECT_NEAR(alphaAt(half, 16, 75), 0.5 * 255, 3); // left: the track only
    EXPECT_EQ(half.pixelColor(134, 75), QColor(Qt::black));
    EXPECT_EQ(ringImage(50.0, Ink::Light, 150).pixelColor(134, 75), QColor(Qt::white));
    EXPECT_EQ(ringImage(140.0, Ink::Light, 150).pixelColor(16, 75), ringColor(140, Ink::Light));
    // Outlined: light ink inside a dark edge, so that it reads on any panel.
    const QImage outlined = ringImage(50.0, Ink::Outlined, 150);
    EXPECT_EQ(outlined.pixelColor(134, 75), QColor(Qt::white));
    EXPECT_GT(alphaAt(outlined, 148, 75), 200);
    EXPECT_LT(outlined.pixelColor(148, 75).lightness(), 30);
    for (std::optional<double> p : {std::optional<double>(0.0), std::optional<double>()}) {
        const QImage faint = ringImage(p, Ink::Dark, 150);
        int strongest = 0;
        for (int y = 0; y < 150; ++y)
            for (int x = 0; x < 150; ++x)
                strongest = std::max(strongest, alphaAt(faint, x, y));
        EXPECT_NEAR(strongest, 0.5 * 255, 3);
    }
    // Where no label is drawn, the percentage is in the middle; "!" from 100, "-" for none.
    EXPECT_EQ(qAlpha(ringImage(50.0, Ink::Dark, 150).pixel(75, 75)), 0);
    EXPECT_EQ(ringImage(50.0, Ink::Dark, 150, true).pixelColor(75, 75), QColor(Qt::black));
    const Row numbers[] = {{"7", "7"},   {"82.5", "83"}, {"99.5", "100"},
                           {"100", "!"}, {"140", "!"},   {"-", "-"}};
    checkTable(numbers, [](const QString& p) {
        return ringNumber(p == u"-" ? std::nullopt : std::optional(p.toDouble()));
    });
    EXPECT_FALSE(AppDelegate::numberInIcon(true));
    EXPECT_TRUE(AppDelegate::numberInIcon(false));
    Settings::setValue(u"numberInIcon"_s, false);
    EXPECT_FALSE(AppDelegate::numberInIcon(false));
    Settings::remove(u"numberInIcon"_s);
}

// What the desktop publishes in, "ring ink, the app's own look" out.
TEST(DesktopLook, InkFromEachSourceAndTheSetting) {
    const Row rows[] = {
        {"", "outlined light"},
        {"ink=light", "light light"},
        {"ink=dark desktop=GNOME", "dark light"},
        {"desktop=ubuntu:GNOME", "light light"}, // GNOME Shell's top bar is always dark
        {"desktop=XFCE xfce=dark", "light light"},
        {"desktop=XFCE xfce=light", "dark light"},
        {"desktop=XFCE xfce=light gtk=Adwaita-dark", "light dark"},
        {"desktop=XFCE", "outlined light"},
        {"desktop=KDE plasma=breeze-dark kde=light", "light light"}, // Breeze Twilight
        {"desktop=KDE plasma=default kde=dark", "light dark"},
        {"desktop=KDE", "dark light"},
        {"desktop=sway portal=dark", "light dark"},
        {"desktop=sway gtk=Arc-Dark", "light dark"},
        {"desktop=sway portal=light gtk=Arc-Dark", "light light"},
        {"desktop=sway portal=light", "outlined light"},
    };
    checkTable(rows, [](const QString& in) {
        DesktopLook::Clues c;
        const auto dark = [](const QString& v) { return std::optional(v == u"dark"); };
        for (const QString& kv : in.split(u' ', Qt::SkipEmptyParts)) {
            const QString k = kv.section(u'=', 0, 0), v = kv.section(u'=', 1);
            k == u"ink"       ? void(c.ringInk = v)
            : k == u"desktop" ? void(c.desktop = v)
            : k == u"portal"  ? void(c.portalDark = dark(v))
            : k == u"gtk"     ? void(c.gtkTheme = v)
            : k == u"xfce"    ? void(c.xfceHostPanelDark = dark(v))
            : k == u"plasma"  ? void(c.plasmaTheme = v)
                              : void(c.kdeColorsDark = dark(v));
        }
        EXPECT_EQ(DesktopLook::givesScreenPoints(c.desktop), !c.desktop.contains(u"sway"_s));
        const char* inks[] = {"dark", "light", "outlined"};
        return QString::fromLatin1(inks[int(DesktopLook::ringInk(c))]) +
               (DesktopLook::prefersDark(c) ? u" dark"_s : u" light"_s);
    });
}

// "desktop, the displays there are (x11, wayland)" in, the Qt platform asked for out.
TEST(DesktopLook, QtPlatformByDesktop) {
    const Row rows[] = {
        {"KDE x11 wayland", "xcb"},
        {"GNOME x11 wayland", "xcb"},
        {"sway x11 wayland", "wayland;xcb"},
        {"sway wayland", "wayland;xcb"},
        {"sway x11", "xcb"},
        {"KDE wayland", "-"},
        {"XFCE x11", "xcb"},
        {"- -", "-"},
    };
    checkTable(rows, [](const QString& in) {
        const QString p = DesktopLook::qtPlatform(in.section(u' ', 0, 0), in.contains(u"x11"_s),
                                                  in.contains(u"wayland"_s));
        return p.isEmpty() ? u"-"_s : p;
    });
}

// The theme's name as an XSETTINGS manager publishes it, little-endian, among other kinds.
TEST(XSettings, ReadsTheManagersLayout) {
    QByteArray data;
    QDataStream out(&data, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint8(0) << quint8(0) << quint16(0) << quint32(7) << quint32(3);
    out << quint8(0) << quint8(0) << quint16(7); // an integer
    out.writeRawData("Xft/DPI\0", 8);
    out << quint32(0) << qint32(98304);
    out << quint8(2) << quint8(0) << quint16(3); // a colour
    out.writeRawData("Ink\0", 4);
    out << quint32(0) << quint16(0xffff) << quint16(0) << quint16(0) << quint16(0xffff);
    out << quint8(1) << quint8(0) << quint16(13); // a string
    out.writeRawData("Net/ThemeName\0\0\0", 16);
    out << quint32(0) << quint32(12);
    out.writeRawData("Adwaita-dark", 12);
    const auto settings = XSettings::parse(data);
    EXPECT_EQ(settings.value(u"Net/ThemeName"_s).toString(), u"Adwaita-dark"_s);
    EXPECT_EQ(settings.value(u"Xft/DPI"_s).toInt(), 98304);
    EXPECT_EQ(settings.value(u"Ink"_s).value<QColor>(), QColor(Qt::red));
    EXPECT_TRUE(XSettings::parse(data.left(40)).value(u"Net/ThemeName"_s).isNull());
}

// One rule for the levels, on the percentage as printed: the bar's colour, the ring's, the
// notice a first reading gives, and the Waybar class.
TEST(Levels, BarRingAlertAndWaybarAgree) {
    const Row rows[] = {
        {"-5", "accent ink - normal"},
        {"nan", "accent ink - normal"},
        {"79.6", "accent ink - normal"},
        {"79.9", "accent ink - normal"},
        {"80", "warn amber at 80% warn"},
        {"94.9", "warn amber at 95% warn"},
        {"95", "danger red at 95% danger"},
        {"99.9", "danger red at 100% danger"},
        {"100", "danger red limit reached danger"},
        {"120", "danger red limit reached danger"},
    };
    checkTable(rows, [](const QString& in) {
        const Limit l{u"Current session"_s, u"Session"_s, in.toDouble(), kNow + 3600.0, {}};
        const QColor &bar = Palette::color(l.percent), ring = ringColor(l.percent, Ink::Dark);
        const auto notices = Alerts::decide({l}, {}, kNow).notices;
        UsageFile::File file;
        file.snapshot = UsageFile::Snapshot{kNow, kNow, std::nullopt, {l}};
        return QStringList{
            &bar == &Palette::danger() ? u"danger"_s
            : &bar == &Palette::warn() ? u"warn"_s
                                       : u"accent"_s,
            ring == Qt::black ? u"ink"_s
            : ring.hue() < 20 ? u"red"_s
                              : u"amber"_s,
            notices.isEmpty() ? u"-"_s : notices[0].summary.mid(15),
            WaybarCommand::line(file, kNow).section(u"\"class\":\""_s, 1).section(u'"', 0, 0)}
            .join(u' ');
    });
}

// The fallback icon's menu: each entry asks for what it says.
TEST(XEmbedTray, EachMenuEntryDoesWhatItSays) {
    XEmbedTray tray;
    QSignalSpy show(&tray, &TrayItem::showUsageRequested),
        refresh(&tray, &TrayItem::refreshRequested), quit(&tray, &TrayItem::quitRequested);
    QStringList done;
    for (QAction* a : tray.menu().actions()) {
        a->trigger();
        done << (a->isSeparator() ? u"-"_s
                                  : u"%1: %2%3%4"_s.arg(a->text())
                                        .arg(show.count())
                                        .arg(refresh.count())
                                        .arg(quit.count()));
    }
    EXPECT_EQ(done,
              (QStringList{u"Show usage: 100"_s, u"Refresh now: 110"_s, u"-"_s, u"Quit: 111"_s}));
}

// Open at login is turned on once, at the first launch, and only when that launch could be
// remembered; otherwise every launch would turn it on again.
TEST(FirstRun, OnceAndOnlyWhenItCanBeRemembered) {
    TestHome::clear();
    Settings::reset();
    Prefs prefs;
    // Not for a program in a build tree: it may be gone tomorrow.
    const QString installed = TestHome::path() + u"/bin/brimwatch"_s;
    TestHome::write(u"build/CMakeCache.txt"_s, "");
    EXPECT_FALSE(AppDelegate::firstRun(prefs, TestHome::path() + u"/build/src/app/brimwatch"_s));
    EXPECT_FALSE(prefs.openAtLogin());
    EXPECT_TRUE(AppDelegate::firstRun(prefs, installed));
    EXPECT_TRUE(prefs.openAtLogin());
    prefs.setOpenAtLogin(false);
    Settings::reset(); // the next launch
    EXPECT_FALSE(AppDelegate::firstRun(prefs, installed));
    EXPECT_FALSE(LoginItem::isEnabled());

    TestHome::clear();
    Settings::reset();
    QDir().mkpath(Settings::path());
    EXPECT_FALSE(AppDelegate::firstRun(prefs, installed));
    EXPECT_FALSE(LoginItem::isEnabled());
}

} // namespace

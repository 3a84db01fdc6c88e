// The application shell's pieces on Qt's offscreen platform: the tray's texts and ring,
// where the panel opens, the diagnostics line, and the desktop card window.

#include "main/AppDelegate.h"
#include "main/DesktopWidget.h"
#include "main/PanelWindow.h"
#include "main/RingImage.h"
#include "main/TrayText.h"
#include "platform/PanelColor.h"
#include "prefs/LoginItem.h"
#include "prefs/Prefs.h"
#include "prefs/Settings.h"
#include "store/UsageStore.h"
#include "support/ManualTime.h"
#include "support/QtPrinters.h"
#include "support/StoreFixture.h"
#include "support/StoredSettings.h"
#include "support/TestHome.h"
#include "support/TestTime.h"
#include "views/PopoverView.h"
#include "views/TextLabel.h"
#include "views/UsageContent.h"
#include "views/WidgetView.h"

#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

const Instant kNow = utc(2025, 10, 10, 20, 0);

Limit session(double percent, std::optional<double> resetIn = std::nullopt) {
    Limit l;
    l.rawLabel = u"Current session"_s;
    l.title = u"Session"_s;
    l.percent = percent;
    if (resetIn)
        l.resetsAt = kNow + *resetIn;
    return l;
}

TEST(TrayText, Table) {
    const std::optional<QString> none;
    const struct {
        std::optional<Limit> session;
        bool loading;
        std::optional<QString> error;
        TrayText expected;
    } cases[] = {
        {session(82.5, 2 * 3600 + 5 * 60),
         false,
         none,
         {u" 83% · 2h 5m"_s, u"Session: 83% used, resets in 2h 5m"_s}},
        {session(82.4), false, none, {u" 82%"_s, u"Session: 82% used"_s}},
        {session(0, 60), false, none, {u" 0% · 1m"_s, u"Session: 0% used, resets in 1m"_s}},
        {session(140), true, u"boom"_s, {u" 140%"_s, u"Session: 140% used"_s}},
        {session(50, -60), false, none, {u" 50%"_s, u"Session: 50% used"_s}},
        {session(50, 0), false, none, {u" 50%"_s, u"Session: 50% used"_s}},
        {std::nullopt, true, none, {u" ..."_s, u"Claude usage"_s}},
        {std::nullopt, true, u"boom"_s, {u" ..."_s, u"boom"_s}},
        {std::nullopt, false, u"boom"_s, {u" -"_s, u"boom"_s}},
        {std::nullopt, false, none, {u" -"_s, u"Claude usage"_s}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(trayText(c.session, c.loading, c.error, kNow), c.expected) << c.expected.label;
}

TEST(RingImage, ArcColourAndTrack) {
    // At 150 px the ring runs from 16 to 134, centred on 75, 22 px thick.
    const auto alphaAt = [](const QImage& i, int x, int y) { return qAlpha(i.pixel(x, y)); };
    const QImage half = ringImage(50.0, Qt::black, 150);
    EXPECT_EQ(alphaAt(half, 134, 75), 255);           // right: on the arc
    EXPECT_NEAR(alphaAt(half, 16, 75), 0.3 * 255, 3); // left: the track only
    EXPECT_EQ(half.pixelColor(134, 75).red(), 0);

    const QImage cool = ringImage(89.9, Qt::black, 150), hot = ringImage(90.0, Qt::black, 150);
    EXPECT_EQ(cool.pixelColor(134, 75), QColor(Qt::black));
    EXPECT_EQ(hot.pixelColor(134, 75), QColor(255, 59, 48));
    EXPECT_FALSE(ringIsHot(89.9));
    EXPECT_TRUE(ringIsHot(90.0));

    const QImage full = ringImage(140.0, Qt::white, 150);
    EXPECT_EQ(full.pixelColor(16, 75), QColor(255, 59, 48)); // a whole red circle

    for (std::optional<double> p : {std::optional<double>(0.0), std::optional<double>()}) {
        const QImage faint = ringImage(p, Qt::black, 150);
        int strongest = 0;
        for (int y = 0; y < 150; ++y)
            for (int x = 0; x < 150; ++x)
                strongest = std::max(strongest, alphaAt(faint, x, y));
        EXPECT_NEAR(strongest, 0.3 * 255, 3);
    }
    EXPECT_EQ(ringImage(50.0, Qt::black, 22).size(), QSize(22, 22));
}

TEST(RingImage, PanelTextColour) {
    QPalette light;
    light.setColor(QPalette::WindowText, Qt::black);
    EXPECT_EQ(panelTextColor(u"ubuntu:GNOME"_s, light), QColor(Qt::white));
    EXPECT_EQ(panelTextColor(u"GNOME"_s, light), QColor(Qt::white));
    EXPECT_EQ(panelTextColor(u"KDE"_s, light), QColor(Qt::black));
    EXPECT_EQ(panelTextColor(u"XFCE"_s, light), QColor(Qt::black));
    EXPECT_EQ(panelTextColor(u""_s, light), QColor(Qt::black));
}

TEST(PanelWindow, Placement) {
    const QRect screen(0, 0, 1280, 800);
    const QSize size(300, 400);
    const struct {
        QPoint at;
        QPoint expected;
    } cases[] = {
        {{600, 10}, {450, 18}},   // below a click at the top
        {{1200, 10}, {972, 18}},  // kept 8 px inside the right edge
        {{640, 790}, {490, 382}}, // above a click at the bottom
        {{5, 5}, {8, 13}},        // kept inside the left edge
        {{}, {972, 8}},           // no point: top right
    };
    for (const auto& c : cases)
        EXPECT_EQ(PanelWindow::placement(size, c.at, screen), c.expected) << c.at.x();
}

TEST(AppDelegate, MenubarLine) {
    EXPECT_EQ(AppDelegate::menubarLine(true, {}),
              u"menu bar item: visible=true frame={{0, 0}, {0, 0}}\n"_s);
    EXPECT_EQ(AppDelegate::menubarLine(false, QRect(1180, 2, 24, 26)),
              u"menu bar item: visible=false frame={{1180, 2}, {24, 26}}\n"_s);
}

// Open at login is turned on once, at the first launch, and only when that launch could be
// remembered; otherwise every launch would turn it on again.
TEST(FirstRun, OnceAndOnlyWhenItCanBeRemembered) {
    TestHome::clear();
    Settings::reset();
    Prefs prefs;
    EXPECT_TRUE(AppDelegate::firstRun(prefs));
    EXPECT_TRUE(prefs.openAtLogin());
    prefs.setOpenAtLogin(false);
    Settings::reset(); // the next launch
    EXPECT_FALSE(AppDelegate::firstRun(prefs));
    EXPECT_FALSE(LoginItem::isEnabled());

    TestHome::clear();
    Settings::reset();
    QDir().mkpath(Settings::path());
    EXPECT_FALSE(AppDelegate::firstRun(prefs));
    EXPECT_FALSE(LoginItem::isEnabled());
}

class Card : public StoreFixture {
protected:
    void SetUp() override {
        StoreFixture::SetUp();
        prefs = std::make_unique<Prefs>();
    }

    std::unique_ptr<Prefs> prefs;
};

TEST_F(Card, PlacedTopRightAndGrowingDownward) {
    DesktopWidget card(store.get(), prefs.get());
    EXPECT_EQ(card.panel(), nullptr);
    card.show();
    QWidget* window = card.panel();
    ASSERT_NE(window, nullptr);
    card.show();
    EXPECT_EQ(card.panel(), window) << "one window, whatever the number of calls";
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(window->geometry().topRight(), QPoint(area.right() - 24, area.top() + 24));
    EXPECT_EQ(window->width(), 280);

    const QRect before = window->geometry();
    read(u"Current session: 5% used · resets 9pm (UTC)\nCurrent week: 7% used"_s);
    card.fit();
    EXPECT_EQ(window->geometry().topLeft(), before.topLeft());
    EXPECT_GT(window->height(), before.height());
    EXPECT_EQ(window->width(), 280);
    card.hide();
    EXPECT_FALSE(window->isVisible());
}

TEST_F(Card, ASavedPositionIsRestored) {
    Settings::setValue(QString::fromLatin1(DesktopWidget::kSettingsKey), QPoint(40, 60));
    DesktopWidget card(store.get(), prefs.get());
    card.show();
    EXPECT_EQ(card.panel()->pos(), QPoint(40, 60));
}

void pump(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

TEST_F(Card, OnlyThePersonsMoveIsRemembered) {
    DesktopWidget card(store.get(), prefs.get());
    card.show();
    QWidget* window = card.panel();
    const QPoint corner = window->pos();
    const QString key = QString::fromLatin1(DesktopWidget::kSettingsKey);
    QScreen* screen = QGuiApplication::primaryScreen();

    window->move(300, 300); // the window manager's doing
    pump(700);
    EXPECT_FALSE(storedSettings().contains(key));
    emit screen->availableGeometryChanged(screen->availableGeometry());
    EXPECT_EQ(window->pos(), corner) << "back in its corner after a change of screens";

    // A drag by hand (no window manager here to carry it out).
    auto* grip = window->findChild<DragContainer*>();
    QTest::mousePress(grip, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseMove(grip, QPoint(-90, 60));
    QTest::mouseRelease(grip, Qt::LeftButton, {}, QPoint(-90, 60));
    pump(700);
    EXPECT_EQ(window->pos(), corner + QPoint(-100, 50));
    EXPECT_EQ(storedSettings().value(key).toPoint(), window->pos());
    emit screen->availableGeometryChanged(screen->availableGeometry());
    EXPECT_EQ(window->pos(), corner + QPoint(-100, 50));
}

// However many limits there are, neither window grows past the screen.
TEST_F(Card, NeitherWindowIsTallerThanTheScreen) {
    QString text;
    for (int i = 0; i < 30; ++i)
        text += u"Limit %1: %2% used · resets on a day that is a long way off\n"_s.arg(i).arg(i);
    read(text);
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();

    DesktopWidget card(store.get(), prefs.get());
    card.show();
    EXPECT_LE(card.panel()->height(), area.height() - 2 * DesktopWidget::kMargin);
    const UsageContent* content = card.view()->content();
    EXPECT_LT(content->rows().size(), 12);
    EXPECT_EQ(content->moreLabel()->text(), u"and %1 more"_s.arg(30 - content->rows().size()));

    PanelWindow panel(store.get(), prefs.get());
    panel.showNear({});
    EXPECT_LE(panel.height(), area.height() - 16);
    EXPECT_GT(panel.view()->height(), panel.height()) << "the rest scrolls";
    EXPECT_EQ(panel.view()->content()->rows().size(), 12);
}

TEST_F(Card, ContextMenu) {
    DesktopWidget card(store.get(), prefs.get());
    card.show();
    EXPECT_TRUE(card.panel()->windowFlags() & Qt::WindowStaysOnBottomHint);
    std::unique_ptr<QMenu> menu(card.buildMenu());
    const QList<QAction*> items = menu->actions();
    ASSERT_EQ(items.size(), 4);
    EXPECT_EQ(items[0]->text(), u"Refresh now"_s);
    EXPECT_EQ(items[1]->text(), u"Keep on top"_s);
    EXPECT_TRUE(items[2]->isSeparator());
    EXPECT_EQ(items[3]->text(), u"Hide desktop card"_s);
    EXPECT_FALSE(items[1]->isChecked());

    items[0]->trigger();
    EXPECT_EQ(tool.started, 1);
    items[1]->trigger();
    EXPECT_TRUE(prefs->onTop());
    card.show(); // what the application does when the preference changes
    EXPECT_TRUE(card.panel()->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(card.panel()->windowFlags() & Qt::WindowStaysOnBottomHint);
    EXPECT_TRUE(card.panel()->isVisible());
    std::unique_ptr<QMenu> again(card.buildMenu());
    EXPECT_TRUE(again->actions()[1]->isChecked());
    again->actions()[3]->trigger();
    EXPECT_FALSE(prefs->desktopWidget());
}

} // namespace

// The desktop card's window on Qt's offscreen platform: where it stands, what is remembered of
// its place, its size against the screen, the panel's size, and its menu.

#include "app/DesktopWidget.h"
#include "app/PanelWindow.h"
#include "prefs/Prefs.h"
#include "prefs/Settings.h"
#include "store/AccountStores.h"
#include "support/StoreFixture.h"
#include "support/StoredSettings.h"
#include "views/Fit.h"
#include "views/HistoryView.h"
#include "views/LimitRow.h"
#include "views/PopoverView.h"
#include "views/TextLabel.h"
#include "views/UsageContent.h"
#include "views/WidgetView.h"

#include <QAction>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

class Card : public StoreFixture {
protected:
    void SetUp() override {
        StoreFixture::SetUp();
        prefs = std::make_unique<Prefs>();
    }
    std::unique_ptr<Prefs> prefs;
};

TEST_F(Card, PlacedTopRightGrowingDownwardOrWhereThePersonLeftIt) {
    DesktopWidget card(store.get(), prefs.get());
    card.show();
    QWidget* window = card.panel();
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
    card.hide();
    EXPECT_FALSE(window->isVisible());

    Settings::setValue(QString::fromLatin1(DesktopWidget::kSettingsKey), QPoint(40, 60));
    DesktopWidget again(store.get(), prefs.get());
    again.show();
    EXPECT_EQ(again.panel()->pos(), QPoint(40, 60));
}

TEST_F(Card, OnlyThePersonsMoveIsRemembered) {
    DesktopWidget card(store.get(), prefs.get());
    card.show();
    QWidget* window = card.panel();
    const QPoint corner = window->pos();
    const QString key = QString::fromLatin1(DesktopWidget::kSettingsKey);
    QScreen* screen = QGuiApplication::primaryScreen();

    window->move(300, 300); // the window manager's doing
    spin(700);
    EXPECT_FALSE(storedSettings().contains(key));
    emit screen->availableGeometryChanged(screen->availableGeometry());
    EXPECT_EQ(window->pos(), corner) << "back in its corner after a change of screens";

    // A tap that wobbles by a pixel moves nothing; a drag by hand does (no window manager here
    // to carry it out).
    auto* grip = window->findChild<DragContainer*>();
    QTest::mousePress(grip, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseMove(grip, QPoint(11, 11));
    QTest::mouseRelease(grip, Qt::LeftButton, {}, QPoint(11, 11));
    EXPECT_EQ(window->pos(), corner);
    QTest::mousePress(grip, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseMove(grip, QPoint(-90, 60));
    QTest::mouseRelease(grip, Qt::LeftButton, {}, QPoint(-90, 60));
    spin(700);
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

    AccountStores one(store.get());
    PanelWindow panel(&one, prefs.get());
    panel.showNear(std::nullopt);
    EXPECT_LE(panel.height(), area.height() - 16);
    EXPECT_GT(panel.view()->height(), panel.height()) << "the rest scrolls";
}

// Whatever changes the panel's content (History folded or unfolded, a new row) changes its
// height at once; nothing is ever squeezed, and what the work area cannot hold scrolls.
TEST_F(Card, ThePanelFollowsItsContent) {
    read(u"Current session: 5% used · resets 11pm (UTC)\nCurrent week: 7% used · resets Oct 14 "
         "at 9pm (UTC)"_s);
    const int room = QGuiApplication::primaryScreen()->availableGeometry().height() - 16;
    const auto follows = [&](PanelWindow& panel) {
        spin(50);
        const QSize content = fittingSize(panel.view());
        EXPECT_EQ(panel.view()->size(), content);
        EXPECT_EQ(panel.height(), std::min(content.height(), room));
        for (LimitRow* row : panel.view()->content()->rows())
            EXPECT_EQ(row->height(), row->heightForWidth(row->width()));
        return content.height();
    };
    AccountStores one(store.get());
    PanelWindow panel(&one, prefs.get());
    panel.showNear(std::nullopt);
    const int open = follows(panel);
    panel.view()->history()->setFolded(true);
    EXPECT_LT(follows(panel), open - 15); // the line that says the charts come later
    PanelWindow again(&one, prefs.get()); // opened folded, then unfolded
    again.showNear(std::nullopt);
    again.view()->history()->setFolded(false);
    EXPECT_EQ(follows(again), open);
    read(u"Current session: 5% used · resets 11pm (UTC)\nCurrent week: 7% used · resets Oct 14 "
         "at 9pm (UTC)\nCurrent week (Fable): 9% used · resets Oct 14 at 9pm (UTC)"_s);
    EXPECT_GT(follows(again), open);
}

TEST_F(Card, ContextMenu) {
    DesktopWidget card(store.get(), prefs.get());
    card.show();
    EXPECT_TRUE(card.panel()->windowFlags() & Qt::WindowStaysOnBottomHint);
    std::unique_ptr<QMenu> menu(card.buildMenu());
    QStringList items;
    for (QAction* a : menu->actions())
        items << (a->isSeparator() ? u"-"_s : a->text() + (a->isChecked() ? u" [x]"_s : u""_s));
    EXPECT_EQ(items, (QStringList{u"Refresh now"_s, u"Keep on top"_s, u"-"_s,
                                  u"Hide desktop card"_s, u"Quit"_s}));
    menu->actions()[0]->trigger();
    EXPECT_EQ(tool.requests, 1);
    menu->actions()[1]->trigger();
    EXPECT_TRUE(prefs->onTop());
    card.show(); // what the application does when the preference changes
    EXPECT_TRUE(card.panel()->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(card.panel()->windowFlags() & Qt::WindowStaysOnBottomHint);
    EXPECT_TRUE(card.panel()->isVisible());
    std::unique_ptr<QMenu> again(card.buildMenu());
    EXPECT_TRUE(again->actions()[1]->isChecked());
    QStringList told;
    card.onHide = [&] { told << u"hide"_s; };
    card.onQuit = [&] { told << u"quit"_s; };
    again->actions()[3]->trigger();
    EXPECT_FALSE(prefs->desktopWidget());
    again->actions()[4]->trigger();
    EXPECT_EQ(told, (QStringList{u"hide"_s, u"quit"_s}));
    // Where no tray shows the app, the card leads to the panel.
    int shown = 0;
    card.onShowUsage = [&] { ++shown; };
    card.offersShowUsage = true;
    std::unique_ptr<QMenu> noTray(card.buildMenu());
    ASSERT_EQ(noTray->actions().value(0)->text(), u"Show usage"_s);
    noTray->actions()[0]->trigger();
    EXPECT_EQ(shown, 1);
}

} // namespace

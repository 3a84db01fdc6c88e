// The panel and the desktop card: their measures, switches, notice and links.

#include "cli/AppInfo.h"
#include "prefs/Prefs.h"
#include "prefs/Settings.h"
#include "store/AccountStores.h"
#include "store/UsageStore.h"
#include "support/ManualTime.h"
#include "support/QtPrinters.h"
#include "support/StoreFixture.h"
#include "support/TestHome.h"
#include "support/TestTime.h"
#include "views/AccountsDialog.h"
#include "views/Fit.h"
#include "views/HistoryView.h"
#include "views/LinkButton.h"
#include "views/PopoverView.h"
#include "views/RefreshButton.h"
#include "views/SettingRow.h"
#include "views/TextLabel.h"
#include "views/Theme.h"
#include "views/UsageContent.h"
#include "views/WidgetView.h"
#include "views/WrapLabel.h"

#include <QDir>

#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

// Catches the addresses that the views ask the desktop to open.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    UrlCatcher() {
        QDesktopServices::setUrlHandler(u"https"_s, this, "open");
        QDesktopServices::setUrlHandler(u"http"_s, this, "open");
    }
    ~UrlCatcher() override {
        QDesktopServices::unsetUrlHandler(u"https"_s);
        QDesktopServices::unsetUrlHandler(u"http"_s);
    }
    QList<QUrl> opened;

public slots:
    void open(const QUrl& url) { opened << url; }
};

namespace {

class Panels : public StoreFixture {
protected:
    void SetUp() override {
        StoreFixture::SetUp();
        prefs = std::make_unique<Prefs>();
    }
    static void fit(QWidget& w) { fitToContent(&w); }

    std::unique_ptr<Prefs> prefs;
};

TEST_F(Panels, TheCardIs280WideAndGrowsOnlyDownward) {
    WidgetView card(store.get());
    fit(card);
    EXPECT_EQ(card.width(), 280);
    EXPECT_EQ(card.content()->width(), 244);
    EXPECT_EQ(card.content()->pos(), QPoint(18, 18));
    EXPECT_EQ(card.height(), card.content()->height() + 36);
    EXPECT_TRUE(card.findChildren<RefreshButton*>().isEmpty());
    const int shortHeight = card.height();

    // Words wrap; a word longer than the width (a JSON blob) breaks anywhere; nothing is cut.
    const QString blob = u"{\"error\":{\"type\":\"overloaded_error\",\"detail\":\""_s +
                         QString(300, u'x') + u"\"}}"_s;
    read(CLIError{u"Claude Code could not be reached because something went wrong: "_s + blob});
    fit(card);
    EXPECT_EQ(card.width(), 280);
    EXPECT_GT(card.height(), shortHeight + 40);
    WrapLabel* error = card.content()->errorLabel();
    EXPECT_EQ(error->width(), 244);
    EXPECT_GE(error->height(), error->heightForWidth(244));
    const QStringList lines = WrapLabel::lines(error->text(), error->font(), 244);
    EXPECT_EQ(lines.join(QString()), error->text());
    EXPECT_GE(lines.size(), 5);
    for (const QString& line : lines)
        EXPECT_LE(QFontMetricsF(error->font()).horizontalAdvance(line.trimmed()), 244) << line;
}

TEST_F(Panels, OnTopRowIsDimmedAndInertWhileTheCardIsOff) {
    prefs->setOnTop(true);
    prefs->setDesktopWidget(false);
    PopoverView popover(store.get(), prefs.get());
    SettingRow* onTop = popover.onTopRow();
    EXPECT_FALSE(onTop->isEnabled());
    EXPECT_EQ(onTop->opacity(), 0.5);
    EXPECT_TRUE(onTop->toggle()->isChecked()) << "still shows the stored value";
    QTest::mouseClick(onTop->toggle(), Qt::LeftButton);
    EXPECT_TRUE(prefs->onTop());

    QTest::mouseClick(popover.showOnDesktopRow()->toggle(), Qt::LeftButton);
    EXPECT_TRUE(prefs->desktopWidget());
    EXPECT_TRUE(onTop->isEnabled());
    EXPECT_EQ(onTop->opacity(), 1.0);
    EXPECT_TRUE(onTop->toggle()->isChecked());
    QTest::mouseClick(onTop->toggle(), Qt::LeftButton);
    EXPECT_FALSE(prefs->onTop());
    QTest::mouseClick(popover.notifyRow()->toggle(), Qt::LeftButton);
    EXPECT_FALSE(prefs->notifyNearLimits());
    // The keyboard works too; a change made elsewhere (the card's menu) shows at once.
    QTest::keyClick(popover.openAtLoginRow()->toggle(), Qt::Key_Space);
    EXPECT_TRUE(prefs->openAtLogin());
    QTest::keyClick(popover.openAtLoginRow()->toggle(), Qt::Key_Return);
    EXPECT_FALSE(prefs->openAtLogin());
    prefs->setDesktopWidget(false);
    EXPECT_FALSE(popover.showOnDesktopRow()->toggle()->isChecked());
}

// Each link and button, with what it must do.
TEST_F(Panels, LinksAndButtonsDoWhatTheySay) {
    PopoverView popover(store.get(), prefs.get());
    EXPECT_TRUE(popover.updateNotice()->isHidden());
    store->checkForUpdate();
    feed.answer(u"1.4"_s);
    EXPECT_EQ(popover.updateNotice()->text(), u"Brimwatch 1.4 is out"_s);
    EXPECT_EQ(popover.productLine()->text(), u"Brimwatch 1.0.0 · made by Velkor Lab"_s);
    EXPECT_EQ(popover.productLine()->toolTip(), u"Open the Brimwatch page"_s);
    UrlCatcher catcher;
    QStringList done;
    popover.quit = [&] { done << u"quit"_s; };
    QTest::mouseClick(popover.updateNotice(), Qt::LeftButton);
    for (QAbstractButton* b :
         {popover.usagePageLink(), popover.productLine(), popover.quitButton()})
        b->click();
    for (const QUrl& url : catcher.opened)
        done << url.toString();
    EXPECT_EQ(done, (QStringList{u"quit"_s, u"https://brimwatch.velkorlab.com/"_s,
                                 u"https://claude.ai/settings/usage"_s,
                                 u"https://brimwatch.velkorlab.com/"_s}));
    store->checkForUpdate();
    feed.answer(u"1.0.0"_s);
    EXPECT_TRUE(popover.updateNotice()->isHidden());
}

// What keeps the app from saving or using its files, one line each, 300 characters at most.
TEST_F(Panels, TheStatusLineSaysWhatCannotBeSaved) {
    PopoverView popover(store.get(), prefs.get());
    EXPECT_TRUE(popover.statusLine()->isHidden());
    QDir().mkpath(Settings::path());
    prefs->setOnTop(true);
    const QString folder = u"Brimwatch can't use its folder /"_s + QString(400, u'x');
    store->refresh();
    tool.answer(Reading::of({u"Current session: 5% used"_s, false, folder, {}}, time.now()));
    EXPECT_FALSE(popover.statusLine()->isHidden());
    EXPECT_EQ(popover.statusLine()->text(), folder.left(300) + u"…\nSettings can't be saved: "_s +
                                                Settings::path() + u" is a folder"_s);
}

// Several accounts: a section each under its name, the tray account's history, and the
// dialog that changes them.
TEST_F(Panels, ASectionPerAccount) {
    TestHome::write(u"work/settings.json"_s, "{}");
    const QString work = TestHome::path() + u"/work"_s;
    AccountStores stores(deps(),
                         [&](QObject*, const Account& a, UsageStore::ReadDone done) {
                             ToolRun run;
                             run.result = u"Current session: %1% used · resets 11pm (UTC)"_s.arg(
                                 a.isDefault() ? 5 : 60);
                             done(Reading::of(run, time.now()));
                         },
                         {{u"Claude"_s, {}}, {u"Work"_s, work}});
    stores.start();
    PopoverView popover(&stores, prefs.get());
    const auto sections = [&] {
        QStringList out;
        for (const UsageContent* c : popover.sections())
            out << c->title() + u' ' + QString::number(c->rows().size());
        return out.join(u", "_s) + u" | "_s + popover.history()->findChild<LinkButton*>()->text();
    };
    EXPECT_EQ(sections(), u"Claude 1, Work 1 | ▾ History · Work"_s);
    stores.setTrayAccount(u"Claude"_s);
    EXPECT_EQ(sections(), u"Claude 1, Work 1 | ▾ History · Claude"_s);

    fitToContent(&popover);
    EXPECT_GT(popover.accountsLink()->y(), popover.notifyRow()->y()) << "under the switches";
    popover.accountsLink()->click();
    AccountsDialog* dialog = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* d = dynamic_cast<AccountsDialog*>(w); d && d->isVisible())
            dialog = d;
    ASSERT_TRUE(dialog) << "Accounts… opens the dialog";
    EXPECT_EQ(dialog->list()->count(), 1); // as the settings have it
    dialog->nameField()->setText(u"Client"_s);
    dialog->folderField()->setText(u"~/nowhere"_s);
    dialog->add();
    EXPECT_EQ(dialog->problemLabel()->text(), TestHome::path() + u"/nowhere is not a folder."_s);
    dialog->nameField()->setText(u"Job"_s);
    dialog->folderField()->setText(u"~/work"_s);
    dialog->add();
    EXPECT_TRUE(dialog->problemLabel()->isHidden());
    EXPECT_EQ(sections(), u"Claude 1, Job 1 | ▾ History · Job"_s);
    // The tray's choice, and a rename that carries it along.
    dialog->trayChoice()->setCurrentIndex(1);
    emit dialog->trayChoice()->activated(1);
    EXPECT_EQ(sections(), u"Claude 1, Job 1 | ▾ History · Claude"_s);
    dialog->list()->setCurrentRow(0);
    dialog->rename(u"Home"_s);
    EXPECT_EQ(sections(), u"Home 1, Job 1 | ▾ History · Home"_s);
    dialog->list()->setCurrentRow(0);
    dialog->remove();
    EXPECT_EQ(sections(), u"Claude usage 1 | ▾ History"_s);
    EXPECT_EQ(dialog->list()->count(), 1);
    EXPECT_EQ(dialog->trayChoice()->count(), 2); // "The highest session", and Job
    dialog->close();
}

// Light and dark switched while the app runs: every view takes the app's new palette, the
// texts in their tones included, and the open dialog too.
TEST_F(Panels, EveryViewFollowsLightAndDarkWhileOpen) {
    read(u"Current session: 82% used · resets 11pm (UTC)"_s);
    AccountStores stores(deps(), [](QObject*, const Account&, UsageStore::ReadDone) {},
                         {{u"Claude"_s, {}}});
    QApplication::setPalette(Theme::light());
    PopoverView popover(&stores, prefs.get());
    WidgetView card(store.get());
    AccountsDialog dialog(&stores);
    QList<QWidget*> views{&popover, &card, &dialog};
    for (QWidget* v : views)
        fitToContent(v), v->show();
    for (const QPalette& look : {Theme::dark(), Theme::light(), Theme::dark()}) {
        QApplication::setPalette(look);
        QCoreApplication::processEvents(); // Qt posts the news to each widget
        for (QWidget* v : views) {
            EXPECT_EQ(Theme::isDark(v->palette()), Theme::isDark(look))
                << v->metaObject()->className();
            for (const QLabel* any : v->findChildren<QLabel*>()) // TextLabel has no meta-object
                if (const auto* l = dynamic_cast<const TextLabel*>(any);
                    l && (l->color().lightness() > 128) != Theme::isDark(look))
                    ADD_FAILURE() << "ink of " << l->text().toStdString();
            for (const QWidget* w : v->findChildren<QWidget*>())
                EXPECT_EQ(Theme::isDark(w->palette()), Theme::isDark(look))
                    << w->metaObject()->className() << " " << w->objectName().toStdString();
        }
    }
    QApplication::setPalette(Theme::light());
}

} // namespace

#include "PanelsTest.moc"

#pragma once

#include <QWidget>

#include <functional>

class AccountStores;
class HistoryView;
class LinkButton;
class Prefs;
class QPainter;
class SettingRow;
class UpdateNotice;
class QVBoxLayout;
class UsageContent;
class UsageStore;
class WrapLabel;

// The panel that opens from the tray icon: the usage (a section per account when there are
// several) and the tray account's history, the four switches, a notice when a newer release
// is out, links, and the product line. Exactly 300 px wide.
class PopoverView : public QWidget {
public:
    PopoverView(AccountStores* stores, Prefs* prefs, QWidget* parent = nullptr);
    // One account's store (renderings and tests).
    PopoverView(UsageStore* store, Prefs* prefs, QWidget* parent = nullptr);

    static constexpr int kWidth = 300;
    static constexpr int kRadius = 10; // of the surface's corners
    static constexpr int kPadding = 16;
    static constexpr char kUsagePage[] = "https://claude.ai/settings/usage";

    // What "Quit" does; the default quits the application.
    std::function<void()> quit;

    // Parts, for tests.
    UsageContent* content() const { return sections_.first(); }
    const QList<UsageContent*>& sections() const { return sections_; }
    HistoryView* history() const { return history_; }
    SettingRow* showOnDesktopRow() const { return showRow_; }
    SettingRow* onTopRow() const { return onTopRow_; }
    SettingRow* openAtLoginRow() const { return loginRow_; }
    SettingRow* notifyRow() const { return notifyRow_; }
    UpdateNotice* updateNotice() const { return notice_; }
    LinkButton* usagePageLink() const { return usageLink_; }
    LinkButton* accountsLink() const { return accountsLink_; }
    LinkButton* quitButton() const { return quitButton_; }
    LinkButton* productLine() const { return product_; }
    WrapLabel* statusLine() const { return statusLine_; }

    static constexpr int kStatusLength = 300; // characters of each problem shown

    // The panel's rounded surface. The view draws it behind itself unless its window draws it
    // (one that scrolls the view, and keeps the surface still under a scroll bar).
    static void drawSurface(QPainter& p, const QRect& rect, const QPalette& palette);
    bool drawsSurface = true;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    void syncSections();
    void syncHistory();
    void syncPrefs();
    void syncNotice();
    void syncStatusLine();

    AccountStores* stores_;
    UsageStore* store_; // the first account's: new versions, folder problems
    Prefs* prefs_;
    QVBoxLayout* sectionsLayout_;
    QList<UsageContent*> sections_;
    HistoryView* history_ = nullptr;
    SettingRow* showRow_;
    SettingRow* onTopRow_;
    SettingRow* loginRow_;
    SettingRow* notifyRow_;
    WrapLabel* statusLine_;
    UpdateNotice* notice_;
    LinkButton* usageLink_;
    LinkButton* accountsLink_;
    LinkButton* quitButton_;
    LinkButton* product_;
};

// "Brimwatch 1.4 is out ... Get it" on a faint accent background.
class UpdateNotice : public QWidget {
public:
    explicit UpdateNotice(QWidget* parent = nullptr);
    void setVersion(const QString& version);
    QString text() const { return text_; }
    QSize sizeHint() const override;
    std::function<void()> onClick;

protected:
    void paintEvent(QPaintEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void keyPressEvent(QKeyEvent*) override;

private:
    QString text_;
};

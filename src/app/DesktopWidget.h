#pragma once

#include "prefs/Keys.h"

#include <QDeadlineTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>

class CardWindow;
class Prefs;
class QMenu;
class UsageStore;
class WidgetView;

// The card's content holder: a press that moves past the drag distance drags the card (a tap
// does not), and none reaches the content; a right click opens the card's menu.
class DragContainer : public QWidget {
public:
    explicit DragContainer(QWidget* parent = nullptr)
        : QWidget(parent) {}
    std::function<QMenu*()> contextMenu; // built anew for each request
    std::function<void()> onDragStart;   // the person has taken hold of the card
    std::function<void()> onDragEnd;     // and let go (known only when we moved it)

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;

private:
    QPoint pressedAt_;     // where the press was, on the screen
    QPoint grab_;          // and within the window
    bool pressed_ = false; // held, and not yet moved far enough to be a drag
    bool moving_ = false;  // moving by hand: no window manager took the drag
};

// The desktop card window: on every workspace, never in the taskbar, never taking focus,
// below ordinary windows or above them as the preference says, and where the user left it.
class DesktopWidget : public QObject {
public:
    DesktopWidget(UsageStore* store, Prefs* prefs, QObject* parent = nullptr);
    ~DesktopWidget() override;

    void show();
    void fit();
    // Shows another store (the tray's account), titled with the account's name, or "Claude
    // usage" when there is one account.
    void setStore(UsageStore* store, const QString& title);
    void hide();

    // The menu actions.
    void refreshNow();
    void toggleTop();
    void hideCard();
    QMenu* buildMenu();

    // Called by "Hide desktop card" before the preference is set, by "Quit", and by
    // "Show usage", which the menu offers while offersShowUsage (no tray shows the app).
    std::function<void()> onHide;
    std::function<void()> onQuit;
    std::function<void()> onShowUsage;
    bool offersShowUsage = false;

    QWidget* panel() const;
    WidgetView* view() const { return view_; }

    static constexpr const char* kSettingsKey = Keys::kCardPosition;
    static constexpr int kMargin = 24; // from the screen's top-right corner

private:
    void makePanel();
    void applyLevel();
    void savePosition();
    // The top-right corner of the primary screen, unless the person has put the card
    // elsewhere on a screen that is still there.
    void place();
    void moved();
    // The card's size with as many rows as fit in a screen this tall.
    QSize fittingWithin(int room);

    UsageStore* store_;
    QString title_;
    Prefs* prefs_;
    CardWindow* window_ = nullptr;
    DragContainer* container_ = nullptr;
    WidgetView* view_ = nullptr;
    QTimer saveTimer_;
    bool placing_ = false; // our own moves are not the user's
    bool onTop_ = false;
    // Moves count as the person's until this runs out. The window manager carries a drag
    // out without telling us when it ends: while a button is held, each move extends it.
    QDeadlineTimer dragging_;
};

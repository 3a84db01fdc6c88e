#pragma once

#include <QElapsedTimer>
#include <QWidget>

class PopoverView;
class Prefs;
class QScrollArea;
class UsageStore;

// The panel that opens from the tray: a frameless popup beside the click point, kept on
// screen, closed by a click elsewhere. Never taller than the screen: what does not fit
// scrolls.
class PanelWindow : public QWidget {
public:
    PanelWindow(UsageStore* store, Prefs* prefs);

    // Opens the panel next to a point on screen (a null point: the screen's top right).
    void showNear(QPoint at);
    // Whether the panel closed a moment ago: the click that closed it was likely on the
    // tray icon, and must not open it again.
    bool justClosed() const;

    PopoverView* view() const { return view_; }

    // Where a panel of this size goes for a click at `at` within `screen`.
    static QPoint placement(QSize size, QPoint at, const QRect& screen);
    // The size of the window for content of this size on that screen.
    QSize windowSize(QSize content, const QRect& screen) const;

protected:
    void hideEvent(QHideEvent*) override;

private:
    void refit();
    QRect screenArea(QPoint at) const;

    PopoverView* view_;
    QScrollArea* scroll_;
    QElapsedTimer closedAt_;
    bool opensUpward_ = false;
};

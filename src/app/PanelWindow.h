#pragma once

#include <QElapsedTimer>
#include <QWidget>

#include <memory>
#include <optional>

class AccountStores;
class PopoverView;
class Prefs;
class QScrollArea;

// The panel that opens from the tray: a frameless window beside the tray icon, inside the
// screen's work area (never over the host panel), as tall as its content at every moment, or
// as the work area with the rest scrolling. A click outside it, Escape, or another window
// taking the focus closes it.
class PanelWindow : public QWidget {
public:
    PanelWindow(AccountStores* stores, Prefs* prefs);
    ~PanelWindow() override;

    // Opens next to the tray icon at `at`; without a point, in the work area's corner
    // nearest the host panel.
    void showNear(std::optional<QPoint> at);
    // Whether the panel closed a moment ago: the click that closed it was likely on the
    // tray icon, and must not open it again.
    bool justClosed() const;
    // Whether it opened within a double click's time: a second click then is the rest of a
    // double click, not a click to close it.
    bool justOpened() const;

    PopoverView* view() const { return view_; }

    // Where a panel of this size goes for a tray icon at `at` on a screen, inside its work
    // area: beside the host panel the icon is on, otherwise below or above the point.
    static QPoint placement(QSize size, std::optional<QPoint> at, const QRect& screen,
                            const QRect& work);
    // The window's size for content of this size in that work area.
    QSize windowSize(QSize content, const QRect& work) const;

    // How a click outside closes the panel. The panel takes the focus and closes when it
    // loses it, and a transparent shield behind it catches clicks on the desktop: under
    // XWayland, clicks on Wayland windows, the desktop or the shell never reach an X client,
    // so a pointer grab would miss them. Only on X11 without a compositor (where a
    // transparent window would be black) does a grab do it alone.
    enum class Dismissal { Grab, Focus };
    static Dismissal dismissal();

protected:
    void hideEvent(QHideEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void paintEvent(QPaintEvent*) override;
    void changeEvent(QEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void refit();
    void place(QSize size);
    // Takes this size now: a fixed one on Wayland, which tiling compositors float.
    void take(QSize size);
    // Asks sway to float the panel in the area its bars leave, at the size that fits there.
    void placeOnSway();

    PopoverView* view_;
    QScrollArea* scroll_;
    QElapsedTimer closedAt_, openedAt_;
    std::optional<QPoint> at_;
    std::optional<QRect> swayArea_; // the work area as sway tells it
    std::unique_ptr<QWidget> shield_;
    bool refitting_ = false;
};

#include "PanelWindow.h"

#include "CardShape.h"
#include "platform/SwayIpc.h"
#include "platform/WindowHints.h"
#include "store/AccountStores.h"
#include "views/Fit.h"
#include "views/PopoverView.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>

namespace {

constexpr int kGap = 8;     // between the host panel or the work area's edge and the panel
constexpr int kRadius = 10; // of the panel's corners

// A transparent window over the screen, behind the panel: a click on it is a click outside.
class ClickShield : public QWidget {
public:
    explicit ClickShield(std::function<void()> pressed)
        : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus |
                               Qt::NoDropShadowWindowHint)
        , pressed_(std::move(pressed)) {
        setAttribute(Qt::WA_TranslucentBackground);
        setAttribute(Qt::WA_ShowWithoutActivating);
        setWindowTitle(QStringLiteral("Brimwatch shield"));
    }

protected:
    void mousePressEvent(QMouseEvent*) override { pressed_(); }

private:
    std::function<void()> pressed_;
};

} // namespace

PanelWindow::Dismissal PanelWindow::dismissal() {
    // A transparent shield needs a compositor; XWayland always has one.
    return QGuiApplication::platformName() != u"xcb" ||
                   !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") || WindowHints::hasCompositor()
               ? Dismissal::Focus
               : Dismissal::Grab;
}

PanelWindow::PanelWindow(AccountStores* stores, Prefs* prefs)
    : QWidget(nullptr, (dismissal() == Dismissal::Grab ? Qt::Popup : Qt::Tool) |
                           Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint) {
    setAttribute(Qt::WA_TranslucentBackground);
    setWindowTitle(QStringLiteral("Brimwatch panel"));
    view_ = new PopoverView(stores, prefs);
    scroll_ = new QScrollArea(this);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scroll_->setAttribute(Qt::WA_TranslucentBackground);
    scroll_->viewport()->setAutoFillBackground(false);
    scroll_->setWidget(view_);
    // Whatever changes the content's size (a reading, History folded, an error) asks for a
    // new layout: the panel takes the content's new height then.
    view_->installEventFilter(this);
    // Wayland clients cannot cover the screen with a window of their own.
    if (dismissal() == Dismissal::Focus && QGuiApplication::platformName() == u"xcb")
        shield_ = std::make_unique<ClickShield>([this] { hide(); });
}

PanelWindow::~PanelWindow() = default;

bool PanelWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == view_ && event->type() == QEvent::LayoutRequest && isVisible() && !refitting_)
        QTimer::singleShot(0, this, [this] {
            if (isVisible())
                refit();
        });
    return QWidget::eventFilter(watched, event);
}

QPoint PanelWindow::placement(QSize size, std::optional<QPoint> at, const QRect& screen,
                              const QRect& work) {
    const QRect room = work.adjusted(kGap, kGap, -kGap, -kGap);
    QPoint p;
    if (!at) {
        // The corner nearest the tray: on the edge where the work area leaves room for the
        // host panel, at its right end, or at the bottom of a vertical one.
        const int top = work.top() - screen.top(), bottom = screen.bottom() - work.bottom();
        const int left = work.left() - screen.left(), right = screen.right() - work.right();
        const bool vertical = std::max(left, right) > std::max(top, bottom);
        const bool low = vertical || bottom > top, onLeft = vertical && left > right;
        p = QPoint(onLeft ? room.left() : room.right() + 1 - size.width(),
                   low ? room.bottom() + 1 - size.height() : room.top());
    } else if (at->y() < work.top() || at->y() > work.bottom()) {
        // On a horizontal host panel: below it or above it, centred on the icon.
        p = QPoint(at->x() - size.width() / 2,
                   at->y() < work.top() ? room.top() : room.bottom() + 1 - size.height());
    } else if (at->x() < work.left() || at->x() > work.right()) {
        // On a vertical one: beside it.
        p = QPoint(at->x() < work.left() ? room.left() : room.right() + 1 - size.width(),
                   at->y() - size.height() / 2);
    } else {
        // A point inside the work area (a host panel that keeps no room for itself): below a
        // point in the screen's top half, above one in its bottom half.
        const bool upward = at->y() > screen.center().y();
        p = QPoint(at->x() - size.width() / 2,
                   upward ? at->y() - kGap - size.height() : at->y() + kGap);
    }
    p.setX(std::max(room.left(), std::min(p.x(), room.right() + 1 - size.width())));
    p.setY(std::max(room.top(), std::min(p.y(), room.bottom() + 1 - size.height())));
    return p;
}

QSize PanelWindow::windowSize(QSize content, const QRect& work) const {
    const int room = work.height() - 2 * kGap;
    if (content.height() <= room)
        return content;
    // Taller than the work area: as tall as it allows, with a scroll bar beside the content.
    return {content.width() + scroll_->verticalScrollBar()->sizeHint().width(), room};
}

void PanelWindow::place(QSize size) {
    QScreen* screen = at_ ? QGuiApplication::screenAt(*at_) : nullptr;
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect whole = screen ? screen->geometry() : QRect(0, 0, 1280, 800);
    const QRect work = screen ? screen->availableGeometry() : whole;
    const QSize fitted = windowSize(size, work);
    // A window of a fixed size is one that tiling compositors float rather than tile.
    if (QGuiApplication::platformName().startsWith(u"wayland"))
        setFixedSize(fitted);
    else
        resize(fitted);
    scroll_->setGeometry(rect());
    move(placement(fitted, at_, whole, work));
    // On Wayland the compositor places windows; sway can be asked to.
    if (isVisible())
        SwayIpc::placeTopRight(windowTitle(), fitted, kGap, true);
    CardShape::apply(this, kRadius);
    if (shield_)
        shield_->setGeometry(whole);
}

void PanelWindow::refit() {
    refitting_ = true;
    fitToContent(view_);
    place(view_->size());
    refitting_ = false;
}

void PanelWindow::showNear(std::optional<QPoint> at) {
    at_ = at;
    refit();
    if (shield_)
        shield_->show();
    show();
    SwayIpc::placeTopRight(windowTitle(), size(), kGap, true);
    raise();
    activateWindow();
}

bool PanelWindow::justClosed() const {
    return closedAt_.isValid() && closedAt_.elapsed() < 300;
}

void PanelWindow::changeEvent(QEvent* e) {
    // Another window took the focus: under XWayland the only sign of a click elsewhere.
    if (e->type() == QEvent::ActivationChange && dismissal() == Dismissal::Focus && isVisible() &&
        !isActiveWindow())
        hide();
    QWidget::changeEvent(e);
}

void PanelWindow::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Escape)
        hide();
    else
        QWidget::keyPressEvent(e);
}

void PanelWindow::hideEvent(QHideEvent* e) {
    closedAt_.start();
    if (shield_)
        shield_->hide();
    QWidget::hideEvent(e);
}

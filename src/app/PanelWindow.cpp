#include "PanelWindow.h"

#include "CardShape.h"
#include "platform/SwayIpc.h"
#include "platform/WindowHints.h"
#include "store/AccountStores.h"
#include "views/Fit.h"
#include "views/PopoverView.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyleHints>
#include <QTimer>

namespace {

constexpr int kGap = 8; // between the host panel or the work area's edge and the panel
// On Wayland, where nothing tells the host panels' room, as much as one may take at the top
// and at the bottom: the compositor centres the panel, clear of them.
constexpr int kUnknownPanel = 48;

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
    // A thin rounded thumb on nothing, as the panel's own: no arrows, no gutter. Its grey reads
    // at 3:1 on the light panel and the dark one alike.
    scroll_->verticalScrollBar()->setStyleSheet(QStringLiteral(
        "QScrollBar:vertical { background: transparent; width: 10px; margin: 10px 2px 10px 0; }"
        "QScrollBar::handle:vertical { background: #8a8a8a; border-radius: 4px; min-height: 32px; }"
        "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; border: none; }"
        "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }"));
    scroll_->viewport()->setAutoFillBackground(false);
    scroll_->setWidget(view_);
    // The window draws the surface, still behind the content as it scrolls and under the
    // scroll bar; the scroll area would fill the content's square background.
    view_->drawsSurface = false;
    view_->setAutoFillBackground(false);
    // Whatever changes the content's size (a reading, History folded, an error) asks for a
    // new layout: the panel takes the content's new height then.
    view_->installEventFilter(this);
    // Wayland clients cannot cover the screen with a window of their own; sway covers it with
    // one when asked.
    if (dismissal() == Dismissal::Focus &&
        (QGuiApplication::platformName() == u"xcb" || SwayIpc::available()))
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
    QRect work = screen ? screen->availableGeometry() : whole;
    if (swayArea_)
        work = *swayArea_;
    else if (QGuiApplication::platformName().startsWith(u"wayland") && !SwayIpc::available())
        work = whole.adjusted(0, kUnknownPanel, 0, -kUnknownPanel);
    const QSize fitted = windowSize(size, work);
    take(fitted);
    move(placement(fitted, at_, whole, work));
    // On Wayland the compositor places windows; sway can be asked to.
    if (isVisible())
        placeOnSway();
    if (shield_)
        shield_->setGeometry(whole);
}

void PanelWindow::take(QSize size) {
    if (QGuiApplication::platformName().startsWith(u"wayland"))
        setFixedSize(size);
    else
        resize(size);
}

void PanelWindow::placeOnSway() {
    SwayIpc::placeTopRight(
        windowTitle(),
        [self = QPointer(this)](const QRect& area) {
            if (!self)
                return QSize();
            self->swayArea_ = area;
            const QSize fitted = self->windowSize(self->view_->size(), area);
            self->take(fitted);
            return fitted;
        },
        kGap, true);
}

void PanelWindow::refit() {
    refitting_ = true;
    fitToContent(view_);
    place(view_->size());
    refitting_ = false;
}

void PanelWindow::showNear(std::optional<QPoint> at) {
    at_ = at;
    openedAt_.start();
    refit();
    // Hidden, a window loses its states: they are asked for again at each showing.
    for (QWidget* w : {shield_.get(), static_cast<QWidget*>(this)})
        if (w) {
            w->winId();
            WindowHints::keepOutOfTaskbars(w->windowHandle());
        }
    if (shield_) {
        shield_->show();
        if (QGuiApplication::platformName().startsWith(u"wayland"))
            SwayIpc::cover(shield_->windowTitle(), windowTitle()); // the panel above it
    }
    show();
    placeOnSway();
    raise();
    activateWindow();
}

bool PanelWindow::justClosed() const {
    return closedAt_.isValid() && closedAt_.elapsed() < 300;
}

bool PanelWindow::justOpened() const {
    return isVisible() && openedAt_.isValid() &&
           openedAt_.elapsed() < QGuiApplication::styleHints()->mouseDoubleClickInterval();
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

void PanelWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    PopoverView::drawSurface(p, rect(), palette());
}

void PanelWindow::resizeEvent(QResizeEvent* e) {
    // The size the window has now, which a visible window takes only once the server says so.
    scroll_->setGeometry(rect());
    CardShape::apply(this, PopoverView::kRadius);
    QWidget::resizeEvent(e);
}

void PanelWindow::hideEvent(QHideEvent* e) {
    closedAt_.start();
    if (shield_)
        shield_->hide();
    QWidget::hideEvent(e);
}

#include "DesktopWidget.h"

#include "CardShape.h"
#include "platform/SwayIpc.h"
#include "platform/WindowHints.h"
#include "prefs/Prefs.h"
#include "prefs/Settings.h"
#include "store/UsageStore.h"
#include "views/Fit.h"
#include "views/Theme.h"
#include "views/UsageContent.h"
#include "views/WidgetView.h"

#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPainterPath>
#include <QScreen>
#include <QStyleHints>
#include <QWindow>

#include <climits>

namespace {

constexpr double kTolerance = 0.5; // smaller changes of the content do not resize the card
constexpr int kSaveDelay = 500;    // ms after the last move before the position is saved
constexpr int kDragHold = 10000;   // ms a held button keeps a drag going without a move
constexpr int kDragTail = 300;     // ms for the last moves of a drag to arrive after release
constexpr int kDragPause = 3000;   // without a way to ask for the button: ms between moves

} // namespace

class CardWindow : public QWidget {
public:
    std::function<void()> onMoved;
    bool blur = false; // the window manager blurs what is behind the card

    // New window flags on a new native window, with the card's hints, where it was.
    void recreate(Qt::WindowFlags flags) {
        const QPoint pos = this->pos();
        const bool shown = isVisible();
        hide();
        destroy();
        setWindowFlags(flags);
        move(pos);
        if (shown)
            showOnAllDesktops();
    }

    // Hidden, a window loses its states: the card's are asked for again at each showing.
    void showOnAllDesktops() {
        winId();
        WindowHints::makeDesktopCard(windowHandle());
        show();
        WindowHints::showOnAllDesktops(windowHandle());
    }

protected:
    void resizeEvent(QResizeEvent* e) override {
        QWidget::resizeEvent(e);
        CardShape::apply(this, WidgetView::kRadius); // for the size it has now
        if (blur) {
            QPainterPath shape;
            shape.addRoundedRect(QRectF(rect()), WidgetView::kRadius, WidgetView::kRadius);
            WindowHints::blurBehind(windowHandle(), QRegion(shape.toFillPolygon().toPolygon()));
        }
    }
    void moveEvent(QMoveEvent* e) override {
        QWidget::moveEvent(e);
        if (onMoved)
            onMoved();
    }
};

namespace {

Qt::WindowFlags cardFlags(bool onTop) {
    return Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus |
           Qt::NoDropShadowWindowHint |
           (onTop ? Qt::WindowStaysOnTopHint : Qt::WindowStaysOnBottomHint);
}

} // namespace

void DragContainer::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton)
        return;
    pressed_ = true;
    pressedAt_ = e->globalPosition().toPoint();
    grab_ = pressedAt_ - window()->pos();
}

void DragContainer::mouseMoveEvent(QMouseEvent* e) {
    if (!(e->buttons() & Qt::LeftButton))
        return;
    const QPoint at = e->globalPosition().toPoint();
    if (!moving_) {
        // A tap wobbles by a pixel or two; a drag goes further.
        if (!pressed_ || (at - pressedAt_).manhattanLength() <
                             QGuiApplication::styleHints()->startDragDistance())
            return;
        pressed_ = false;
        // Asked of the server, not of the events: a tap's release may come after its last
        // move, and a window manager told to move a window with no button held moves it until
        // the next click.
        if (WindowHints::buttonHeld() == false)
            return;
        if (onDragStart)
            onDragStart();
        // The window manager moves the window; without one, we do.
        QWindow* handle = window()->windowHandle();
        moving_ = !(handle && handle->startSystemMove());
        if (!moving_)
            return;
    }
    window()->move(at - grab_);
}

void DragContainer::mouseReleaseEvent(QMouseEvent*) {
    pressed_ = false;
    moving_ = false;
    if (onDragEnd)
        onDragEnd();
}

void DragContainer::contextMenuEvent(QContextMenuEvent* e) {
    if (!contextMenu)
        return;
    QMenu* menu = contextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(e->globalPos());
}

DesktopWidget::DesktopWidget(UsageStore* store, Prefs* prefs, QObject* parent)
    : QObject(parent)
    , store_(store)
    , prefs_(prefs) {
    saveTimer_.setSingleShot(true);
    saveTimer_.setInterval(kSaveDelay);
    connect(&saveTimer_, &QTimer::timeout, this, &DesktopWidget::savePosition);
}

DesktopWidget::~DesktopWidget() {
    delete window_;
}

QWidget* DesktopWidget::panel() const {
    return window_;
}

void DesktopWidget::makePanel() {
    auto* card = new CardWindow;
    card->blur = WindowHints::offersBlur();
    card->setWindowFlags(cardFlags(prefs_->onTop()));
    onTop_ = prefs_->onTop();
    card->setAttribute(Qt::WA_TranslucentBackground);
    card->setAttribute(Qt::WA_ShowWithoutActivating);
    card->setWindowTitle(QStringLiteral("Brimwatch card"));
    container_ = new DragContainer(card);
    view_ = new WidgetView(store_, container_);
    view_->setDense(onTop_ && !card->blur);
    if (!title_.isEmpty())
        view_->content()->setTitle(title_);
    // The content is inert on the card: presses go to the container.
    view_->setAttribute(Qt::WA_TransparentForMouseEvents);
    QPointer<DesktopWidget> self(this);
    container_->contextMenu = [self]() -> QMenu* { return self ? self->buildMenu() : new QMenu; };
    window_ = card;

    fitToContent(view_);
    const QSize size = view_->size();
    card->resize(size);
    container_->setGeometry(card->rect());

    place();
    card->onMoved = [this] { moved(); };
    container_->onDragStart = [this] { dragging_.setRemainingTime(kDragHold); };
    container_->onDragEnd = [this] {
        if (!dragging_.hasExpired())
            dragging_.setRemainingTime(kDragTail);
    };
    // Screens that come, go or change keep the card where it belongs.
    const auto follow = [this](QScreen* screen) {
        if (screen)
            connect(screen, &QScreen::availableGeometryChanged, this, &DesktopWidget::place,
                    Qt::UniqueConnection);
    };
    follow(QGuiApplication::primaryScreen());
    connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this, [this, follow](QScreen* s) {
        follow(s);
        place();
    });
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, &DesktopWidget::place);
}

void DesktopWidget::place() {
    if (!window_)
        return;
    placing_ = true;
    const QString key = QString::fromLatin1(kSettingsKey);
    const QPoint saved = Settings::value(key).toPoint();
    // A position on a screen that is gone no longer counts.
    if (Settings::contains(key) && QGuiApplication::screenAt(saved + QPoint(20, 20))) {
        window_->move(saved);
    } else if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        window_->move(area.right() + 1 - window_->width() - kMargin, area.top() + kMargin);
    }
    placing_ = false;
}

void DesktopWidget::moved() {
    // Only a move the person made is remembered: not the window manager's placement, nor
    // a move that follows a change of screens.
    if (placing_ || dragging_.hasExpired())
        return;
    const std::optional<bool> held = WindowHints::buttonHeld();
    if (!held)
        dragging_.setRemainingTime(kDragPause);
    else if (*held)
        dragging_.setRemainingTime(kDragHold);
    else if (dragging_.remainingTime() > kDragTail)
        dragging_.setRemainingTime(kDragTail);
    saveTimer_.start();
}

void DesktopWidget::applyLevel() {
    if (onTop_ == prefs_->onTop())
        return;
    onTop_ = prefs_->onTop();
    // A new stacking flag means a new native window, which needs its hints again.
    placing_ = true;
    window_->recreate(cardFlags(onTop_));
    placing_ = false;
    view_->setDense(onTop_ && !window_->blur);
}

void DesktopWidget::show() {
    if (!window_)
        makePanel();
    applyLevel();
    fit();
    window_->showOnAllDesktops();
    window_->raise();
    SwayIpc::placeTopRight(
        window_->windowTitle(), [size = window_->size()](const QRect&) { return size; }, kMargin);
}

QSize DesktopWidget::fittingWithin(int room) {
    // On a screen too small for every row, fewer rows and "and N more" below them.
    UsageContent* content = view_->content();
    int rows = UsageContent::kMaxRows;
    content->setRowLimit(rows);
    QSize size = fittingSize(view_);
    while (size.height() > room && rows > 1) {
        content->setRowLimit(--rows);
        size = fittingSize(view_);
    }
    return size;
}

void DesktopWidget::fit() {
    if (!window_ || !view_)
        return;
    QScreen* screen = window_->screen() ? window_->screen() : QGuiApplication::primaryScreen();
    const int room = screen ? screen->availableGeometry().height() - 2 * kMargin : INT_MAX;
    const QSize size = fittingWithin(room);
    if (size.width() <= 0 || size.height() <= 0)
        return;
    if (std::abs(window_->height() - size.height()) > kTolerance ||
        std::abs(window_->width() - size.width()) > kTolerance) {
        placing_ = true;
        // The top-left corner stays: the card grows downward. On Wayland, a fixed size makes
        // tiling compositors float the card rather than tile it.
        if (QGuiApplication::platformName().startsWith(u"wayland"))
            window_->setFixedSize(size);
        else
            window_->resize(size);
        placing_ = false;
    }
    fitToContent(view_);
    container_->setGeometry(window_->rect());
}

void DesktopWidget::setStore(UsageStore* store, const QString& title) {
    if (store == store_ && title == title_)
        return;
    store_ = store;
    title_ = title;
    if (!view_)
        return; // made with this store when first shown
    view_->content()->setStore(store);
    view_->content()->setTitle(title);
    fit();
}

void DesktopWidget::hide() {
    if (window_)
        window_->hide();
}

void DesktopWidget::refreshNow() {
    store_->refresh();
}
void DesktopWidget::toggleTop() {
    prefs_->setOnTop(!prefs_->onTop());
}
void DesktopWidget::hideCard() {
    if (onHide)
        onHide();
    prefs_->setDesktopWidget(false);
}

QMenu* DesktopWidget::buildMenu() {
    auto* menu = new QMenu;
    menu->setAttribute(Qt::WA_X11NetWmWindowTypePopupMenu);
    menu->setStyleSheet(Theme::menuSheet(menu->palette()));
    // Where no tray shows the app, the card is the way to its panel.
    if (offersShowUsage && onShowUsage)
        menu->addAction(QStringLiteral("Show usage"), this, [this] { onShowUsage(); });
    menu->addAction(QStringLiteral("Refresh now"), this, &DesktopWidget::refreshNow);
    QAction* top = menu->addAction(QStringLiteral("Keep on top"), this, &DesktopWidget::toggleTop);
    top->setCheckable(true);
    top->setChecked(prefs_->onTop());
    menu->addSeparator();
    menu->addAction(QStringLiteral("Hide desktop card"), this, &DesktopWidget::hideCard);
    // Where no tray shows the app, the card is the only way to end it.
    menu->addAction(QStringLiteral("Quit"), this, [this] {
        if (onQuit)
            onQuit();
    });
    return menu;
}

void DesktopWidget::savePosition() {
    if (!window_)
        return;
    Settings::setValue(QString::fromLatin1(kSettingsKey), window_->pos());
}

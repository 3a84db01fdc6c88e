#include "PanelWindow.h"

#include "CardShape.h"
#include "store/UsageStore.h"
#include "views/Fit.h"
#include "views/PopoverView.h"

#include <QGuiApplication>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>

namespace {
constexpr int kGap = 8; // between the click point or the screen edge and the panel
}

PanelWindow::PanelWindow(UsageStore* store, Prefs* prefs)
    : QWidget(nullptr, Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint) {
    setAttribute(Qt::WA_TranslucentBackground);
    setWindowTitle(QStringLiteral("Brimwatch panel"));
    view_ = new PopoverView(store, prefs);
    scroll_ = new QScrollArea(this);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scroll_->setAttribute(Qt::WA_TranslucentBackground);
    scroll_->viewport()->setAutoFillBackground(false);
    scroll_->setWidget(view_);
    // Rows come and go with readings: the panel follows its content while open.
    connect(store, &UsageStore::changed, this, [this] {
        if (isVisible())
            refit();
    });
}

QPoint PanelWindow::placement(QSize size, QPoint at, const QRect& screen) {
    QPoint p;
    if (at.isNull()) {
        p = QPoint(screen.right() + 1 - kGap - size.width(), screen.top() + kGap);
    } else {
        // Below a click in the top half of the screen, above one in the bottom half.
        const bool upward = at.y() > screen.center().y();
        p = QPoint(at.x() - size.width() / 2,
                   upward ? at.y() - kGap - size.height() : at.y() + kGap);
    }
    const int maxX = screen.right() - kGap - size.width() + 1;
    const int maxY = screen.bottom() - kGap - size.height() + 1;
    p.setX(std::max(screen.left() + kGap, std::min(p.x(), maxX)));
    p.setY(std::max(screen.top() + kGap, std::min(p.y(), maxY)));
    return p;
}

QSize PanelWindow::windowSize(QSize content, const QRect& screen) const {
    const int room = screen.height() - 2 * kGap;
    if (content.height() <= room)
        return content;
    // Taller than the screen: as tall as it allows, with a scroll bar beside the content.
    return {content.width() + scroll_->verticalScrollBar()->sizeHint().width(), room};
}

QRect PanelWindow::screenArea(QPoint at) const {
    QScreen* screen = at.isNull() ? nullptr : QGuiApplication::screenAt(at);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
}

void PanelWindow::refit() {
    const QRect before = geometry();
    fitToContent(view_);
    const QSize size = windowSize(view_->size(), screenArea(before.center()));
    resize(size);
    scroll_->setGeometry(rect());
    // A panel that opened upward keeps its bottom edge where it was.
    if (opensUpward_)
        move(before.left(), before.bottom() + 1 - size.height());
    CardShape::apply(this, 10);
}

void PanelWindow::showNear(QPoint at) {
    fitToContent(view_);
    const QRect area = screenArea(at);
    resize(windowSize(view_->size(), area));
    scroll_->setGeometry(rect());
    const QPoint pos = placement(size(), at, area);
    opensUpward_ = !at.isNull() && pos.y() < at.y();
    move(pos);
    CardShape::apply(this, 10);
    show();
    raise();
    activateWindow();
}

bool PanelWindow::justClosed() const {
    return closedAt_.isValid() && closedAt_.elapsed() < 300;
}

void PanelWindow::hideEvent(QHideEvent* e) {
    closedAt_.start();
    QWidget::hideEvent(e);
}

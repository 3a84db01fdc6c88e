#include "Fit.h"

#include <QCoreApplication>
#include <QLayout>
#include <QWidget>

namespace {

void invalidateAll(QLayout* layout) {
    if (!layout)
        return;
    layout->invalidate();
    for (int i = 0; i < layout->count(); ++i)
        if (QLayoutItem* item = layout->itemAt(i)) {
            if (item->layout())
                invalidateAll(item->layout());
            else if (item->widget())
                invalidateAll(item->widget()->layout());
        }
}

} // namespace

QSize fittingSize(QWidget* view) {
    // Layouts of windows that are not on screen yet only learn of changes when their
    // requests are handled; handle them here rather than wait for the event loop.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    view->ensurePolished();
    QLayout* layout = view->layout();
    if (!layout)
        return view->sizeHint();
    invalidateAll(layout);
    // The view's own width (fixed for the panel and the card), and the height its content
    // needs at that width. No clamping to the screen, unlike QWidget::adjustSize().
    const int width = view->minimumWidth() == view->maximumWidth()
                          ? view->minimumWidth()
                          : layout->totalSizeHint().width();
    const int height = layout->hasHeightForWidth() ? layout->totalHeightForWidth(width)
                                                   : layout->totalSizeHint().height();
    return {width, height};
}

void fitToContent(QWidget* view) {
    view->resize(fittingSize(view));
    // Place every child now, outside in, even while the window is hidden (hidden widgets
    // get their resize events only when shown).
    QList<QWidget*> widgets{view};
    for (qsizetype i = 0; i < widgets.size(); ++i) {
        if (QLayout* layout = widgets[i]->layout()) {
            layout->invalidate();
            layout->activate();
        }
        widgets << widgets[i]->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    }
}

#include "CardShape.h"

#include "platform/WindowHints.h"

#include <QPainterPath>
#include <QRegion>
#include <QWidget>

namespace CardShape {

void apply(QWidget* window, double radius) {
    if (WindowHints::hasCompositor()) {
        window->clearMask();
        return;
    }
    QPainterPath path;
    path.addRoundedRect(QRectF(window->rect()), radius, radius);
    window->setMask(QRegion(path.toFillPolygon().toPolygon()));
}

} // namespace CardShape

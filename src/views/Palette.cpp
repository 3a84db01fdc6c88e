#include "Palette.h"

#include "usage/Level.h"

namespace Palette {

const QColor& accent() {
    static const QColor c = QColor::fromRgbF(193 / 255.0f, 99 / 255.0f, 76 / 255.0f);
    return c;
}
const QColor& warn() {
    static const QColor c = QColor::fromRgbF(0.9f, 0.62f, 0.18f);
    return c;
}
const QColor& danger() {
    static const QColor c = QColor::fromRgbF(0.91f, 0.27f, 0.29f);
    return c;
}

const QColor& color(double percent) {
    switch (levelOf(percent)) {
    case Level::Normal:
        return accent();
    case Level::Warn:
        return warn();
    default:
        return danger();
    }
}

} // namespace Palette

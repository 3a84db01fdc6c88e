#include "Palette.h"

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
    if (percent >= 95)
        return danger();
    if (percent >= 80)
        return warn();
    return accent();
}

} // namespace Palette

#pragma once

#include <QColor>

#include <algorithm>
#include <cmath>

// A colour laid over another by its alpha.
inline QColor over(const QColor& top, const QColor& below) {
    const float a = top.alphaF();
    return QColor::fromRgbF(top.redF() * a + below.redF() * (1 - a),
                            top.greenF() * a + below.greenF() * (1 - a),
                            top.blueF() * a + below.blueF() * (1 - a));
}

// WCAG's contrast ratio of a colour laid over another.
inline double contrast(const QColor& top, const QColor& below) {
    const auto luminance = [](const QColor& c) {
        const auto lin = [](float v) {
            return v <= 0.04045f ? v / 12.92f : std::pow((v + 0.055f) / 1.055f, 2.4f);
        };
        return 0.2126 * lin(c.redF()) + 0.7152 * lin(c.greenF()) + 0.0722 * lin(c.blueF());
    };
    const double x = luminance(over(top, below)), y = luminance(below);
    return (std::max(x, y) + 0.05) / (std::min(x, y) + 0.05);
}

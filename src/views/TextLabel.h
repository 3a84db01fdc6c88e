#pragma once

#include "Theme.h"

#include <QEvent>
#include <QLabel>

#include <optional>

// A label in one of the app's text tones that follows light and dark.
class TextLabel : public QLabel {
public:
    TextLabel(int pixelSize, QFont::Weight weight, Theme::Tone tone, QWidget* parent = nullptr)
        : QLabel(parent)
        , tone_(tone) {
        setFont(Theme::font(pixelSize, weight));
        setTextFormat(Qt::PlainText);
        applyColor();
    }

    void setTone(Theme::Tone tone) {
        tone_ = tone;
        applyColor();
    }
    // Fades the text (a dimmed row).
    void setOpacity(qreal opacity) {
        opacity_ = opacity;
        applyColor();
    }
    QColor color() const {
        QColor c = Theme::tone(palette(), tone_);
        c.setAlphaF(float(c.alphaF() * opacity_));
        return c;
    }

protected:
    void changeEvent(QEvent* e) override {
        if (e->type() == QEvent::PaletteChange && !applying_)
            applyColor();
        QLabel::changeEvent(e);
    }

private:
    void applyColor() {
        applying_ = true;
        QPalette p = palette();
        p.setColor(QPalette::WindowText, color());
        setPalette(p);
        applying_ = false;
    }

    Theme::Tone tone_;
    qreal opacity_ = 1;
    bool applying_ = false;
};

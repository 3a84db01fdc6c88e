#pragma once

#include "Theme.h"

#include <QAbstractButton>
#include <QFont>

#include <optional>

// A plain button: only its text shows, in a tone, and the text is the target.
class LinkButton : public QAbstractButton {
public:
    LinkButton(const QString& text, int pixelSize, QFont::Weight weight, Theme::Tone tone,
               QWidget* parent = nullptr);
    void setAlignment(Qt::Alignment a) {
        alignment_ = a;
        update();
    }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent*) override;
    void enterEvent(QEnterEvent*) override { update(); }
    void leaveEvent(QEvent*) override { update(); }

private:
    Theme::Tone tone_;
    Qt::Alignment alignment_ = Qt::AlignLeft | Qt::AlignVCenter;
};

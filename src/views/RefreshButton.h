#pragma once

#include <QAbstractButton>

// A borderless button showing a drawn clockwise arrow.
class RefreshButton : public QAbstractButton {
public:
    explicit RefreshButton(QWidget* parent = nullptr);
    QSize sizeHint() const override { return {18, 18}; }

protected:
    void paintEvent(QPaintEvent*) override;
    void enterEvent(QEnterEvent*) override { update(); }
    void leaveEvent(QEvent*) override { update(); }
};

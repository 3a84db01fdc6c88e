#pragma once

#include <QTimer>
#include <QWidget>

// A small indeterminate progress spinner; it animates only while shown.
class Spinner : public QWidget {
public:
    explicit Spinner(QWidget* parent = nullptr);
    QSize sizeHint() const override { return {16, 16}; }

protected:
    void paintEvent(QPaintEvent*) override;
    void showEvent(QShowEvent*) override { timer_.start(); }
    void hideEvent(QHideEvent*) override { timer_.stop(); }

private:
    QTimer timer_;
    int step_ = 0;
};

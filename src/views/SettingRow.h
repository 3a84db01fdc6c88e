#pragma once

#include <QAbstractButton>
#include <QWidget>

#include <functional>

class TextLabel;

// A small drawn on/off switch; click, Space or Enter flips it.
class Switch : public QAbstractButton {
public:
    explicit Switch(QWidget* parent = nullptr);
    QSize sizeHint() const override { return {28, 16}; }
    void setOpacity(qreal o) {
        opacity_ = o;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override;
    void keyPressEvent(QKeyEvent* e) override;
    void enterEvent(QEnterEvent*) override { update(); }
    void leaveEvent(QEvent*) override { update(); }

private:
    qreal opacity_ = 1;
};

// A labelled switch bound to one preference: it shows get() and flipping it calls set().
class SettingRow : public QWidget {
public:
    SettingRow(const QString& title, std::function<bool()> get, std::function<void(bool)> set,
               QWidget* parent = nullptr);

    // Shows the bound value again (after it changed elsewhere).
    void sync();
    Switch* toggle() const { return switch_; }
    QString title() const;

    // Drawn faded (a disabled row keeps showing its value).
    void setOpacity(qreal opacity);
    qreal opacity() const { return opacity_; }

private:
    TextLabel* title_;
    Switch* switch_;
    std::function<bool()> get_;
    qreal opacity_ = 1;
};

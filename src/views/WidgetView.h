#pragma once

#include <QWidget>

class UsageContent;
class UsageStore;

// The translucent fill behind the desktop card (a frosted surface where the platform has
// no blur of its own).
class VisualEffect : public QWidget {
public:
    explicit VisualEffect(qreal radius, QWidget* parent = nullptr)
        : QWidget(parent)
        , radius_(radius) {}

    // Nearly opaque: over other windows, with nothing to blur them, text must still read.
    bool dense = false;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    qreal radius_;
};

// The desktop card: the usage without a refresh button, 280 px wide, on a rounded
// translucent background with a faint white border. Its height follows the content.
class WidgetView : public QWidget {
public:
    explicit WidgetView(UsageStore* store, QWidget* parent = nullptr);

    static constexpr int kWidth = 280;
    static constexpr int kPadding = 18;
    static constexpr qreal kRadius = 22;

    UsageContent* content() const { return content_; }
    void setDense(bool dense);

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;

private:
    VisualEffect* background_;
    UsageContent* content_;
};

#pragma once

#include <QWidget>

#include <optional>

// A 6 px capsule bar: a faint track over the full width and a coloured fill.
class Bar : public QWidget {
public:
    explicit Bar(QWidget* parent = nullptr);

    void setPercent(double percent);
    double percent() const { return percent_; }

    // Width of the fill in a bar this wide; none when only the track shows.
    static std::optional<qreal> fillWidth(qreal available, double percent);

    QSize sizeHint() const override { return {120, kHeight}; }

    static constexpr int kHeight = 6;
    static constexpr qreal kMinimumFill = 6;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    double percent_ = 0;
};

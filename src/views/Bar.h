#pragma once

#include <QWidget>

#include <optional>

// A 6 px capsule bar: a faint track over the full width, a coloured fill, and where the
// pace is known, a thin tick at the share of the window that has passed.
class Bar : public QWidget {
public:
    explicit Bar(QWidget* parent = nullptr);

    void setPercent(double percent);
    double percent() const { return percent_; }
    // A thin tick where an even pace would stand now (a share of the bar, 0 to 1), if known.
    void setPace(std::optional<double> share);
    std::optional<double> pace() const { return pace_; }

    // Width of the fill in a bar this wide; none when only the track shows.
    static std::optional<qreal> fillWidth(qreal available, double percent);

    QSize sizeHint() const override { return {120, kHeight}; }

    static constexpr int kHeight = 6;
    static constexpr qreal kMinimumFill = 6;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    double percent_ = 0;
    std::optional<double> pace_;
};

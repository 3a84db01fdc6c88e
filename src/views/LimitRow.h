#pragma once

#include "usage/Limit.h"

#include <QWidget>

class Bar;
class WrapLabel;

// One limit: its title and percentage on a shared baseline, a bar with the pace's tick, when
// it resets, and where its pace leads if that is before the reset.
class LimitRow : public QWidget {
public:
    LimitRow(const Limit& limit, Instant now, QWidget* parent = nullptr);

    // New values for the same limit; the row is updated in place. pace: the share of the
    // window that has passed; warning: a fourth line, in the warn colour.
    void set(const Limit& limit, Instant now, std::optional<double> pace = std::nullopt,
             const QString& warning = {});
    const Limit& limit() const { return limit_; }
    // A last quiet line: what used the limit ("Mostly brimwatch ≈50%"), with its tooltip.
    void setUsedBy(const QString& text, const QString& tip);

    // "82%": the nearest whole number, halves away from zero.
    static QString percentText(double percent);
    // The row's tooltip: "82% used", and where an even pace (a share of the window) would be.
    static QString tipFor(const Limit& limit, std::optional<double> pace);
    // "Resets in 2h 19m · 9:59 PM", "Resetting now...", "Resets <text>", or " ".
    static QString resetLine(const Limit& limit, Instant now);

    // A reset line too long for the row wraps onto more lines: the height follows the width.
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return {0, sizeHint().height()}; }

    // Texts as shown, for tests.
    QString titleShown() const;
    QString percentShown() const;
    QString resetShown() const;
    QString warningShown() const;
    QString usedByShown() const;
    const Bar* bar() const { return bar_; }
    const WrapLabel* resetLabel() const { return reset_; }

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;

private:
    void layoutChildren();
    int headerHeight() const;

    Limit limit_;
    Instant now_;
    QFont titleFont_, percentFont_;
    Bar* bar_;
    WrapLabel* reset_;
    WrapLabel* warning_;
    WrapLabel* usedBy_;
};

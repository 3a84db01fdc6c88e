#pragma once

#include "store/HistoryDb.h"

#include <QWidget>

class QVBoxLayout;
class TextLabel;
class UsageStore;

// A small chart of one limit's current window: its percentage from the window's start to
// its reset, with the even pace as a faint diagonal behind it.
class PaceChart : public QWidget {
public:
    explicit PaceChart(QWidget* parent = nullptr);

    // The window's readings; with fewer than two there is nothing to draw but a sentence.
    void set(const Limit& limit, const QList<Sample>& window, Instant now);
    bool hasLine() const { return points_.size() >= 2; }

    QSize sizeHint() const override { return {268, kHeight}; }
    static constexpr int kHeight = 44;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QList<QPointF> points_; // (share of the window, percent)
    double now_ = 0;        // share of the window at now
};

// The panel's "History" section: a chart for each limit whose window is known, under a
// header that folds it away (the choice is remembered).
class HistoryView : public QWidget {
public:
    explicit HistoryView(UsageStore* store, QWidget* parent = nullptr);

    bool isFolded() const;
    void setFolded(bool folded);
    QList<PaceChart*> charts() const { return charts_; }

    static constexpr char kFoldedKey[] = "historyFolded";

private:
    void sync();

    UsageStore* store_;
    class LinkButton* header_;
    QWidget* body_;
    QVBoxLayout* rows_;
    QList<PaceChart*> charts_;
    QList<QWidget*> parts_; // what sync() made, dropped at the next one
};

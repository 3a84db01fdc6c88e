#pragma once

#include "store/HistoryDb.h"

#include <QWidget>

class QVBoxLayout;
class TextLabel;
class UsageStore;

// A chart of one limit's current window: its percentage from the window's start to its
// reset, 0 to 100 % at the side and the window's start and reset under it, with the even
// pace (from nothing at the start to all of it at the reset) as a dashed diagonal behind.
class PaceChart : public QWidget {
public:
    explicit PaceChart(QWidget* parent = nullptr);

    // The window's readings; with fewer than two there is nothing to draw but a sentence.
    void set(const Limit& limit, const QList<Sample>& window, Instant now);
    bool hasLine() const { return points_.size() >= 2; }
    // The plot's own area, inside the labels around it.
    QRect plot() const;
    // Where the newest reading stands, as a share of the plot's width (now's share of the
    // window), if there is a line.
    std::optional<double> newest() const;
    // The times under the plot: the window's start and its reset.
    QString startText() const { return start_; }
    QString resetText() const { return reset_; }

    // What the pointer at x (in the chart) shows: the reading nearest it, with its time and
    // where an even pace stood then ("9:41 PM: 42% used · an even pace 37%"); past the newest
    // reading, the even pace alone.
    QString tipAt(int x) const;

    QSize sizeHint() const override;
    static constexpr int kPlotHeight = 64;

protected:
    void paintEvent(QPaintEvent*) override;
    bool event(QEvent* e) override;

private:
    int gutter() const;   // room for "100%" at the side
    QRectF inner() const; // where the lines are drawn
    QString timeAt(double share) const;

    QList<QPointF> points_; // (share of the window, percent)
    double now_ = 0;        // share of the window at now
    Instant startsAt_{}, nowAt_{};
    double length_ = 0; // seconds
    QString start_, reset_;
};

// The panel's "History" section: a chart for each limit whose window has readings enough for
// a line, and a legend that names what the lines are; before there are any, one line that
// says so. Under a header that folds it away (the choice is remembered).
class HistoryView : public QWidget {
public:
    explicit HistoryView(UsageStore* store, QWidget* parent = nullptr);

    bool isFolded() const;
    void setFolded(bool folded);
    // Charts another store's limits; account names it in the header ("History · Work"), or
    // is empty with one account.
    void setStore(UsageStore* store, const QString& account = {});
    QList<PaceChart*> charts() const { return charts_; }

private:
    void sync();

    UsageStore* store_;
    QString account_;
    QList<QMetaObject::Connection> watching_;
    class LinkButton* header_;
    QWidget* body_;
    QVBoxLayout* rows_;
    QWidget* legend_;
    TextLabel* empty_; // before any chart has a line
    QList<PaceChart*> charts_;
    QList<QWidget*> parts_; // what sync() made, dropped at the next one
};

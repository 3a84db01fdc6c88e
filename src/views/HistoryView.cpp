#include "HistoryView.h"

#include "LinkButton.h"
#include "Palette.h"
#include "TextLabel.h"
#include "Theme.h"
#include "prefs/Settings.h"
#include "store/History.h"
#include "store/Pace.h"
#include "store/UsageStore.h"

#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

PaceChart::PaceChart(QWidget* parent)
    : QWidget(parent) {
    setFixedHeight(kHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void PaceChart::set(const Limit& limit, const QList<Sample>& window, Instant now) {
    points_.clear();
    const auto length = Pace::window(limit.title);
    if (!length || !limit.resetsAt)
        return;
    const Instant start = *limit.resetsAt - *length;
    for (const Sample& s : window)
        points_ << QPointF(secondsBetween(start, s.at) / *length, s.percent);
    now_ = secondsBetween(start, now) / *length;
    update();
}

void PaceChart::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF area = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    p.setPen(Qt::NoPen);
    p.setBrush(Theme::primary(palette(), 0.05));
    p.drawRoundedRect(area, 5, 5);
    if (!hasLine()) {
        p.setPen(Theme::tone(palette(), Theme::Tone::Secondary));
        p.setFont(Theme::font(11));
        p.drawText(area, Qt::AlignCenter, QStringLiteral("Not enough readings yet"));
        return;
    }
    const QRectF plot = area.adjusted(4, 4, -4, -4);
    const auto at = [&](double share, double percent) {
        return QPointF(plot.left() + std::clamp(share, 0.0, 1.0) * plot.width(),
                       plot.bottom() - std::clamp(percent, 0.0, 100.0) / 100 * plot.height());
    };
    // The even pace, from nothing at the window's start to everything at its reset.
    p.setPen(QPen(Theme::primary(palette(), 0.18), 1, Qt::DashLine));
    p.drawLine(at(0, 0), at(1, 100));
    // Now.
    p.setPen(QPen(Theme::primary(palette(), 0.12), 1));
    p.drawLine(at(now_, 0), at(now_, 100));
    QPainterPath line;
    line.moveTo(at(points_.first().x(), points_.first().y()));
    for (const QPointF& pt : points_)
        line.lineTo(at(pt.x(), pt.y()));
    const QColor colour = Palette::color(points_.last().y());
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(colour, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(line);
    // The latest reading, as a dot: where the line stops is where the usage stands.
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(at(points_.last().x(), points_.last().y()), 2.5, 2.5);
}

HistoryView::HistoryView(UsageStore* store, QWidget* parent)
    : QWidget(parent)
    , store_(store) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    header_ = new LinkButton(QString(), 12, QFont::Medium, Theme::Tone::Primary);
    connect(header_, &QAbstractButton::clicked, this, [this] { setFolded(!isFolded()); });
    layout->addWidget(header_);
    body_ = new QWidget;
    rows_ = new QVBoxLayout(body_);
    rows_->setContentsMargins(0, 0, 0, 0);
    rows_->setSpacing(4);
    layout->addWidget(body_);
    connect(store_, &UsageStore::changed, this, &HistoryView::sync);
    if (store_->history())
        connect(store_->history(), &History::changed, this, &HistoryView::sync);
    setFolded(isFolded());
}

bool HistoryView::isFolded() const {
    return Settings::value(QString::fromLatin1(kFoldedKey), false).toBool();
}

void HistoryView::setFolded(bool folded) {
    if (folded != isFolded())
        Settings::setValue(QString::fromLatin1(kFoldedKey), folded);
    header_->setText((folded ? QStringLiteral("▸ ") : QStringLiteral("▾ ")) +
                     QStringLiteral("History"));
    header_->updateGeometry();
    body_->setVisible(!folded);
    sync();
}

void HistoryView::sync() {
    qDeleteAll(parts_);
    parts_.clear();
    charts_.clear();
    QList<Limit> charted;
    for (const Limit& l : store_->limits())
        if (Pace::window(l.title) && l.resetsAt)
            charted << l;
    setVisible(!charted.isEmpty()); // nothing to chart: no section
    if (isFolded())
        return;
    const Instant now = store_->now();
    for (const Limit& l : charted) {
        auto* title = new TextLabel(11, QFont::Normal, Theme::Tone::Secondary);
        title->setText(l.title);
        auto* chart = new PaceChart;
        const QList<Sample> samples =
            store_->history() ? store_->history()->samples(l.title) : QList<Sample>();
        chart->set(l, Pace::currentWindow(l, samples), now);
        rows_->addWidget(title);
        rows_->addWidget(chart);
        title->show(); // made after the panel may have been shown
        chart->show();
        parts_ << title << chart;
        charts_ << chart;
    }
    body_->updateGeometry(); // its rows changed: the size the layouts hold for it is stale
    updateGeometry();
}

#include "HistoryView.h"

#include "LinkButton.h"
#include "Palette.h"
#include "TextLabel.h"
#include "Theme.h"
#include "prefs/Keys.h"
#include "prefs/Settings.h"
#include "store/History.h"
#include "store/Pace.h"
#include "store/UsageStore.h"
#include "usage/Fmt.h"

#include <QHelpEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>
#include <QVBoxLayout>

namespace {

constexpr int kAxisFont = 10;
constexpr double kWeek = 7 * 86400.0;

// The two lines a chart draws, and the line for now, named once under the charts.
class ChartLegend : public QWidget {
public:
    ChartLegend() {
        setFont(Theme::font(kAxisFont));
        setFixedHeight(QFontMetrics(font()).height());
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QFontMetrics m(font());
        const int mid = height() / 2;
        int x = 0;
        const auto entry = [&](const QPen& pen, const QString& text) {
            p.setPen(pen);
            p.drawLine(QPointF(x, mid + 0.5), QPointF(x + 14, mid + 0.5));
            p.setPen(Theme::tone(palette(), Theme::Tone::Secondary));
            p.drawText(QPoint(x + 19, m.ascent() + (height() - m.height()) / 2), text);
            x += 19 + m.horizontalAdvance(text) + 14;
        };
        entry(QPen(Palette::accent(), 1.6), QStringLiteral("used"));
        entry(QPen(Theme::primary(palette(), 0.45), 1, Qt::DashLine),
              QStringLiteral("an even pace to the reset"));
    }
};

} // namespace

PaceChart::PaceChart(QWidget* parent)
    : QWidget(parent) {
    setFont(Theme::font(kAxisFont));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFixedHeight(sizeHint().height());
}

QSize PaceChart::sizeHint() const {
    return {268, kPlotHeight + 3 + QFontMetrics(font()).height()};
}

int PaceChart::gutter() const {
    return QFontMetrics(font()).horizontalAdvance(QStringLiteral("100%")) + 5;
}

QRect PaceChart::plot() const {
    return QRect(gutter(), 0, width() - gutter(), kPlotHeight);
}

std::optional<double> PaceChart::newest() const {
    if (!hasLine())
        return std::nullopt;
    return std::clamp(points_.last().x(), 0.0, 1.0);
}

void PaceChart::set(const Limit& limit, const QList<Sample>& window, Instant now) {
    points_.clear();
    start_.clear();
    reset_.clear();
    const auto length = Pace::window(limit.title);
    if (length && limit.resetsAt) {
        const Instant start = *limit.resetsAt - *length;
        for (const Sample& s : window)
            points_ << QPointF(secondsBetween(start, s.at) / *length, s.percent);
        now_ = secondsBetween(start, now) / *length;
        // A session is read by the clock; a week by the day.
        start_ = *length >= kWeek ? Fmt::dateTime(start) : Fmt::clock(start, now);
        reset_ =
            *length >= kWeek ? Fmt::dateTime(*limit.resetsAt) : Fmt::clock(*limit.resetsAt, now);
        startsAt_ = start;
        nowAt_ = now;
        length_ = *length;
    }
    update();
}

QRectF PaceChart::inner() const {
    return QRectF(plot()).adjusted(4.5, 4.5, -4.5, -4.5);
}

QString PaceChart::timeAt(double share) const {
    const Instant t = startsAt_ + share * length_;
    return length_ >= kWeek ? Fmt::dateTime(t) : Fmt::clock(t, nowAt_);
}

QString PaceChart::tipAt(int x) const {
    if (!hasLine())
        return {};
    const QRectF area = inner();
    const double share = std::clamp((x - area.left()) / area.width(), 0.0, 1.0);
    const auto even = [](double s) { return QString::number(std::lround(s * 100)) + u'%'; };
    if (share > std::max(points_.last().x(), now_))
        return QStringLiteral("By %1 an even pace would be at %2").arg(timeAt(share), even(share));
    const QPointF* nearest = &points_.first();
    for (const QPointF& p : points_)
        if (std::fabs(p.x() - share) < std::fabs(nearest->x() - share))
            nearest = &p;
    return QStringLiteral("%1: %2% used · an even pace %3")
        .arg(timeAt(nearest->x()), QString::number(std::lround(nearest->y())),
             even(std::clamp(nearest->x(), 0.0, 1.0)));
}

bool PaceChart::event(QEvent* e) {
    if (e->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(e);
        const QString tip = tipAt(help->pos().x());
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tip, this);
        return true;
    }
    return QWidget::event(e);
}

void PaceChart::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF area = QRectF(plot()).adjusted(0.5, 0.5, -0.5, -0.5);
    const QFontMetrics m(font());
    const QColor faint = Theme::tone(palette(), Theme::Tone::Tertiary);
    p.setPen(faint);
    p.drawText(QRect(0, 0, gutter() - 5, m.height()), Qt::AlignRight | Qt::AlignTop,
               QStringLiteral("100%"));
    p.drawText(QRect(0, kPlotHeight - m.height(), gutter() - 5, m.height()),
               Qt::AlignRight | Qt::AlignBottom, QStringLiteral("0%"));
    const QRect under(plot().left(), kPlotHeight + 3, plot().width(), m.height());
    p.drawText(under, Qt::AlignLeft | Qt::AlignVCenter, start_);
    p.drawText(under, Qt::AlignRight | Qt::AlignVCenter, reset_);
    p.setPen(Qt::NoPen);
    p.setBrush(Theme::primary(palette(), 0.05));
    p.drawRoundedRect(area, 5, 5);
    if (!hasLine())
        return;
    const QRectF in = inner();
    const auto at = [&](double share, double percent) {
        return QPointF(in.left() + std::clamp(share, 0.0, 1.0) * in.width(),
                       in.bottom() - std::clamp(percent, 0.0, 100.0) / 100 * in.height());
    };
    // The even pace, from nothing at the window's start to everything at its reset.
    p.setPen(QPen(Theme::primary(palette(), 0.45), 1, Qt::DashLine));
    p.drawLine(at(0, 0), at(1, 100));
    // Now.
    p.setPen(QPen(Theme::primary(palette(), 0.15), 1));
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
    empty_ = new TextLabel(11, QFont::Normal, Theme::Tone::Secondary);
    empty_->setText(QStringLiteral("The charts start after a few readings."));
    rows_->addWidget(empty_);
    legend_ = new ChartLegend;
    rows_->addWidget(legend_);
    layout->addWidget(body_);
    setStore(store);
}

void HistoryView::setStore(UsageStore* store, const QString& account) {
    if (store == store_ && account == account_ && !watching_.isEmpty())
        return;
    for (const auto& c : std::as_const(watching_))
        disconnect(c);
    watching_.clear();
    store_ = store;
    account_ = account;
    watching_ << connect(store_, &UsageStore::changed, this, &HistoryView::sync);
    if (store_->history())
        watching_ << connect(store_->history(), &History::changed, this, &HistoryView::sync);
    setFolded(isFolded());
}

bool HistoryView::isFolded() const {
    return Settings::value(QLatin1String(Keys::kHistoryFolded.name), Keys::kHistoryFolded.fallback)
        .toBool();
}

void HistoryView::setFolded(bool folded) {
    if (folded != isFolded())
        Settings::setValue(QLatin1String(Keys::kHistoryFolded.name), folded);
    header_->setText((folded ? QStringLiteral("▸ ") : QStringLiteral("▾ ")) +
                     QStringLiteral("History") +
                     (account_.isEmpty() ? QString() : QStringLiteral(" · ") + account_));
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
        auto* chart = new PaceChart;
        chart->set(l, Pace::currentWindow(l, store_->samples(l.title), now), now);
        if (!chart->hasLine()) {
            delete chart; // an empty box says nothing: the line below does
            continue;
        }
        auto* title = new TextLabel(11, QFont::Normal, Theme::Tone::Secondary);
        title->setText(l.title);
        const int at = rows_->indexOf(empty_);
        rows_->insertWidget(at, title);
        rows_->insertWidget(at + 1, chart);
        title->show(); // made after the panel may have been shown
        chart->show();
        parts_ << title << chart;
        charts_ << chart;
    }
    empty_->setVisible(charts_.isEmpty());
    legend_->setVisible(!charts_.isEmpty());
    body_->updateGeometry(); // its rows changed: the size the layouts hold for it is stale
    updateGeometry();
}

#include "LimitRow.h"

#include "Bar.h"
#include "Theme.h"
#include "WrapLabel.h"
#include "usage/Fmt.h"
#include "usage/Percent.h"

#include <QFontMetricsF>
#include <QPainter>

namespace {
constexpr int kSpacing = 6;    // between the header, the bar and the reset line
constexpr int kHeaderGap = 8;  // least room between the title and the percentage
constexpr int kWarningGap = 2; // between the reset line and the pace's warning
} // namespace

LimitRow::LimitRow(const Limit& limit, Instant now, QWidget* parent)
    : QWidget(parent)
    , titleFont_(Theme::font(12, QFont::Medium))
    , percentFont_(Theme::font(15, QFont::DemiBold))
    , bar_(new Bar(this))
    , reset_(new WrapLabel(11, QFont::Normal, Theme::Tone::Secondary, this))
    , warning_(new WrapLabel(11, QFont::Normal, Theme::Tone::Warn, this))
    , usedBy_(new WrapLabel(11, QFont::Normal, Theme::Tone::Tertiary, this)) {
    warning_->hide();
    usedBy_->hide();
    QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    set(limit, now);
}

void LimitRow::set(const Limit& limit, Instant now, std::optional<double> pace,
                   const QString& warning) {
    limit_ = limit;
    now_ = now;
    bar_->setPercent(limit.percent);
    bar_->setPace(pace);
    reset_->setText(resetLine(limit, now));
    warning_->setText(warning);
    warning_->setVisible(!warning.isEmpty());
    setToolTip(tipFor(limit, pace));
    updateGeometry(); // the reset line may need another line now
    layoutChildren();
    update();
}

void LimitRow::setUsedBy(const QString& text, const QString& tip) {
    if (text == usedBy_->text() && usedBy_->isVisible() == !text.isEmpty())
        return;
    usedBy_->setText(text);
    usedBy_->setToolTip(tip);
    usedBy_->setVisible(!text.isEmpty());
    updateGeometry();
    layoutChildren();
}

QString LimitRow::tipFor(const Limit& limit, std::optional<double> pace) {
    QString tip = percentText(limit.percent) + QStringLiteral(" used");
    if (pace)
        tip += QStringLiteral("\nEven pace: %1% by now").arg(qRound(*pace * 100));
    return tip;
}

QString LimitRow::percentText(double percent) {
    return roundedPercent(percent) + u'%';
}

QString LimitRow::resetLine(const Limit& limit, Instant now) {
    if (!limit.resetsAt)
        return limit.resetText ? QStringLiteral("Resets ") + *limit.resetText : QStringLiteral(" ");
    return Fmt::resetsIn(*limit.resetsAt, now);
}

int LimitRow::headerHeight() const {
    const QFontMetricsF t(titleFont_), p(percentFont_);
    return int(std::ceil(std::max(t.ascent(), p.ascent()) + std::max(t.descent(), p.descent())));
}

int LimitRow::heightForWidth(int width) const {
    int below = 0;
    for (const WrapLabel* line : {warning_, usedBy_})
        below += line->isHidden() ? 0 : kWarningGap + line->heightForWidth(width);
    return headerHeight() + kSpacing + Bar::kHeight + kSpacing + reset_->heightForWidth(width) +
           below;
}

QSize LimitRow::sizeHint() const {
    return {200, heightForWidth(200)};
}

void LimitRow::resizeEvent(QResizeEvent*) {
    layoutChildren();
}

void LimitRow::layoutChildren() {
    const int top = headerHeight() + kSpacing;
    bar_->setGeometry(0, top, width(), Bar::kHeight);
    const int resetTop = top + Bar::kHeight + kSpacing;
    reset_->setGeometry(0, resetTop, width(), reset_->heightForWidth(width()));
    int y = reset_->geometry().bottom() + 1;
    for (WrapLabel* line : {warning_, usedBy_})
        if (!line->isHidden()) {
            line->setGeometry(0, y + kWarningGap, width(), line->heightForWidth(width()));
            y = line->geometry().bottom() + 1;
        }
}

QString LimitRow::percentShown() const {
    return percentText(limit_.percent);
}
QString LimitRow::resetShown() const {
    return reset_->text();
}
QString LimitRow::usedByShown() const {
    return usedBy_->isHidden() ? QString() : usedBy_->text();
}
QString LimitRow::warningShown() const {
    return warning_->isHidden() ? QString() : warning_->text();
}
QString LimitRow::titleShown() const {
    const qreal room =
        width() - QFontMetricsF(percentFont_).horizontalAdvance(percentShown()) - kHeaderGap;
    return QFontMetricsF(titleFont_)
        .elidedText(limit_.title, Qt::ElideRight, std::max<qreal>(room, 0));
}

void LimitRow::paintEvent(QPaintEvent*) {
    // The title and the percentage share one baseline, as text on a line does.
    QPainter p(this);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QFontMetricsF t(titleFont_), pm(percentFont_);
    const qreal baseline = std::max(t.ascent(), pm.ascent());
    p.setPen(Theme::tone(palette(), Theme::Tone::Primary));
    p.setFont(titleFont_);
    p.drawText(QPointF(0, baseline), titleShown());
    p.setFont(percentFont_);
    const QString percent = percentShown();
    p.drawText(QPointF(width() - pm.horizontalAdvance(percent), baseline), percent);
}

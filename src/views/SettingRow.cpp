#include "SettingRow.h"

#include "Palette.h"
#include "TextLabel.h"
#include "Theme.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>

Switch::Switch(QWidget* parent)
    : QAbstractButton(parent) {
    setCheckable(true);
    setFixedSize(sizeHint());
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
}

void Switch::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        click();
        return;
    }
    QAbstractButton::keyPressEvent(e); // Space
}

void Switch::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setOpacity(opacity_);
    const QPalette& pal = palette();
    const QRectF track = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const qreal r = track.height() / 2;
    QColor fill = isChecked() ? Palette::accent() : Theme::primary(pal, underMouse() ? 0.22 : 0.16);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(track, r, r);
    if (hasFocus()) {
        QColor ring = Palette::accent();
        ring.setAlphaF(0.45f);
        p.setPen(QPen(ring, 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(track.adjusted(-0.25, -0.25, 0.25, 0.25), r, r);
    }
    const qreal d = track.height() - 3;
    const qreal x = isChecked() ? track.right() - 1.5 - d : track.left() + 1.5;
    p.setPen(QPen(QColor(0, 0, 0, 40), 0.5));
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(x, track.top() + 1.5, d, d));
}

SettingRow::SettingRow(const QString& title, std::function<bool()> get,
                       std::function<void(bool)> set, QWidget* parent)
    : QWidget(parent)
    , title_(new TextLabel(12, QFont::Normal, Theme::Tone::Primary))
    , switch_(new Switch)
    , get_(std::move(get)) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    title_->setText(title);
    layout->addWidget(title_);
    layout->addStretch(1);
    layout->addWidget(switch_, 0, Qt::AlignVCenter);
    switch_->setAccessibleName(title);
    connect(switch_, &QAbstractButton::clicked, this, [set = std::move(set)](bool on) { set(on); });
    sync();
}

QString SettingRow::title() const {
    return title_->text();
}

void SettingRow::setOpacity(qreal opacity) {
    opacity_ = opacity;
    title_->setOpacity(opacity);
    switch_->setOpacity(opacity);
}

void SettingRow::sync() {
    // Without signals: showing a value is not flipping the switch.
    const QSignalBlocker block(switch_);
    switch_->setChecked(get_());
}

#include "UsageContent.h"

#include "LimitRow.h"
#include "RefreshButton.h"
#include "Spinner.h"
#include "TextLabel.h"
#include "WrapLabel.h"
#include "store/History.h"
#include "store/Pace.h"
#include "store/Shares.h"
#include "store/UsageStore.h"
#include "usage/Fmt.h"
#include "usage/Text.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

UsageContent::UsageContent(UsageStore* store, bool inPanel, QWidget* parent)
    : QWidget(parent)
    , store_(store)
    , inPanel_(inPanel) {
    layout_ = new QVBoxLayout(this);
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSpacing(kSpacing);

    auto* header = new QHBoxLayout;
    header->setSpacing(6);
    title_ = new TextLabel(13, QFont::DemiBold, Theme::Tone::Primary);
    title_->setText(QStringLiteral("Claude usage"));
    header->addWidget(title_);
    header->addStretch(1);
    status_ = new TextLabel(11, QFont::Normal, Theme::Tone::Secondary);
    header->addWidget(status_);
    if (inPanel) {
        refresh_ = new RefreshButton;
        connect(refresh_, &QAbstractButton::clicked, this, [this] { store_->refresh(); });
        header->addWidget(refresh_);
    }
    layout_->addLayout(header);

    error_ = new WrapLabel(12, QFont::Normal, Theme::Tone::Secondary);
    error_->setCopyable(true);
    layout_->addWidget(error_);

    loading_ = new QWidget;
    auto* loadingLayout = new QHBoxLayout(loading_);
    loadingLayout->setContentsMargins(0, 0, 0, 0);
    loadingLayout->setSpacing(8);
    loadingLayout->addWidget(new Spinner);
    auto* reading = new TextLabel(12, QFont::Normal, Theme::Tone::Secondary);
    reading->setText(QStringLiteral("Reading your limits..."));
    loadingLayout->addWidget(reading);
    loadingLayout->addStretch(1);
    layout_->addWidget(loading_);

    more_ = new TextLabel(11, QFont::Normal, Theme::Tone::Tertiary);
    layout_->addWidget(more_);
    source_ = new WrapLabel(11, QFont::Normal, Theme::Tone::Tertiary);
    source_->setText(QStringLiteral("Session and week from Claude Code"));
    layout_->addWidget(source_);

    setStore(store);
}

void UsageContent::setStore(UsageStore* store) {
    for (const auto& c : std::as_const(watching_))
        disconnect(c);
    watching_.clear();
    store_ = store;
    watching_ << connect(store_, &UsageStore::changed, this, &UsageContent::sync);
    if (store_->history())
        watching_ << connect(store_->history(), &History::changed, this, &UsageContent::sync);
    sync();
}

void UsageContent::setShares(Shares* shares, const QString& folder) {
    disconnect(sharesChanged_);
    shares_ = shares;
    folder_ = folder;
    if (shares_)
        sharesChanged_ = connect(shares_, &Shares::changed, this, &UsageContent::sync);
    sync();
}

void UsageContent::setTitle(const QString& title) {
    title_->setText(title.isEmpty() ? QStringLiteral("Claude usage") : title);
}

QString UsageContent::title() const {
    return title_->text();
}

QString UsageContent::statusText(const UsageStore& store) {
    if (store.isLoading())
        return QStringLiteral("Updating...");
    if (const auto at = store.updatedAt()) {
        const QString age = Fmt::ago(*at, store.now());
        return store.error() ? QStringLiteral("Update failed · ") + age
                             : QStringLiteral("Updated ") + age;
    }
    return {};
}

bool UsageContent::statusIsWarning(const UsageStore& store) {
    return store.error() && !store.limits().isEmpty();
}

QList<LimitRow*> UsageContent::rows() const {
    return order_;
}

void UsageContent::setRowLimit(int rows) {
    rows = std::clamp(rows, 1, int(kMaxRows));
    if (rows == rowLimit_)
        return;
    rowLimit_ = rows;
    sync();
}

void UsageContent::sync() {
    status_->setText(statusText(*store_));
    status_->setTone(statusIsWarning(*store_) ? Theme::Tone::Warn : Theme::Tone::Secondary);
    if (refresh_)
        refresh_->setEnabled(!store_->isLoading());

    const QList<Limit>& limits = store_->limits();
    error_->setVisible(limits.isEmpty() && store_->error());
    loading_->setVisible(limits.isEmpty() && !store_->error());
    if (store_->error())
        error_->setText(Text::capped(*store_->error(), kMaxErrorLength));

    // Rows keep their identity (the limit's label): values change in place, so nothing
    // flickers and hover state survives. Only new labels make rows, and gone ones go.
    QList<LimitRow*> order;
    const Instant now = store_->now();
    for (const Limit& l : limits.first(std::min<qsizetype>(limits.size(), rowLimit_))) {
        LimitRow*& row = rowsById_[l.id()];
        if (!row)
            row = new LimitRow(l, now, this);
        QString warning;
        if (inPanel_ && store_->history())
            if (const auto runsOut = Pace::runsOut(l, store_->samples(l.title), now))
                warning = Pace::sentence(*runsOut);
        row->set(l, now, Pace::elapsed(l, now), warning);
        if (shares_) {
            const QList<Transcript::Row> used = shares_->of(folder_).ofRow(l.title);
            row->setUsedBy(Transcript::summary(used), Shares::tip(used));
        }
        order << row;
    }
    for (auto it = rowsById_.begin(); it != rowsById_.end();) {
        if (!order.contains(it.value())) {
            it.value()->hide();
            it.value()->deleteLater();
            it = rowsById_.erase(it);
        } else {
            ++it;
        }
    }
    if (order != order_) {
        for (LimitRow* row : order_)
            layout_->removeWidget(row);
        for (LimitRow* row : order)
            layout_->insertWidget(layout_->indexOf(more_), row);
        order_ = order;
    }
    for (LimitRow* row : order_)
        row->show();
    const qsizetype hidden = limits.size() - order_.size();
    more_->setVisible(hidden > 0);
    if (hidden > 0)
        more_->setText(QStringLiteral("and %1 more").arg(hidden));
    source_->setVisible(inPanel_ && !limits.isEmpty() &&
                        store_->source() == UsageStore::Source::StatusLine);
    updateGeometry(); // parents that cached this block's height must ask again
}

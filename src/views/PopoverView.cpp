#include "PopoverView.h"

#include "AccountsDialog.h"
#include "HistoryView.h"
#include "LinkButton.h"
#include "Palette.h"
#include "SettingRow.h"
#include "Theme.h"
#include "UsageContent.h"
#include "WrapLabel.h"
#include "cli/AppInfo.h"
#include "prefs/Prefs.h"
#include "store/AccountStores.h"
#include "store/UsageStore.h"
#include "usage/Text.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QVBoxLayout>

namespace {

// A thin separator across the width.
class Divider : public QWidget {
public:
    Divider() { setFixedHeight(1); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter(this).fillRect(rect(), Theme::primary(palette(), 0.1));
    }
};

} // namespace

PopoverView::PopoverView(UsageStore* store, Prefs* prefs, QWidget* parent)
    : PopoverView(new AccountStores(store), prefs, parent) {
    stores_->setParent(this);
}

PopoverView::PopoverView(AccountStores* stores, Prefs* prefs, QWidget* parent)
    : QWidget(parent)
    , stores_(stores)
    , store_(stores->first())
    , prefs_(prefs) {
    quit = [] { QCoreApplication::quit(); };
    setFixedWidth(kWidth);
    setAccessibleName(QStringLiteral("Claude usage panel"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kPadding, kPadding, kPadding, kPadding);
    layout->setSpacing(14);

    // Children from the start: a parentless widget that shows itself becomes a window.
    sectionsLayout_ = new QVBoxLayout;
    sectionsLayout_->setSpacing(18);
    layout->addLayout(sectionsLayout_);
    syncSections();
    history_ = new HistoryView(stores_->trayStore(), this);
    layout->addWidget(history_);
    layout->addWidget(new Divider);

    auto* switches = new QVBoxLayout;
    switches->setSpacing(8);
    showRow_ = new SettingRow(
        QStringLiteral("Show on desktop"), [prefs] { return prefs->desktopWidget(); },
        [prefs](bool on) { prefs->setDesktopWidget(on); });
    onTopRow_ = new SettingRow(
        QStringLiteral("Keep desktop card on top"), [prefs] { return prefs->onTop(); },
        [prefs](bool on) { prefs->setOnTop(on); });
    loginRow_ = new SettingRow(
        QStringLiteral("Open at login"), [prefs] { return prefs->openAtLogin(); },
        [prefs](bool on) { prefs->setOpenAtLogin(on); });
    notifyRow_ = new SettingRow(
        QStringLiteral("Notify near limits"), [prefs] { return prefs->notifyNearLimits(); },
        [prefs](bool on) { prefs->setNotifyNearLimits(on); });
    for (SettingRow* row : {showRow_, onTopRow_, loginRow_, notifyRow_})
        switches->addWidget(row);
    // Beside the switches: which Claude accounts are read is a setting too.
    accountsLink_ =
        new LinkButton(QStringLiteral("Accounts…"), 12, QFont::Normal, Theme::Tone::Secondary);
    accountsLink_->setToolTip(QStringLiteral("Add, rename or remove the Claude accounts read"));
    connect(accountsLink_, &QAbstractButton::clicked, this,
            [this] { AccountsDialog::open(stores_); });
    switches->addWidget(accountsLink_);
    layout->addLayout(switches);
    // What keeps the app from doing its job fully: settings or files it cannot write.
    statusLine_ = new WrapLabel(11, QFont::Normal, Theme::Tone::Warn);
    statusLine_->setCopyable(true);
    layout->addWidget(statusLine_);
    layout->addWidget(new Divider);

    notice_ = new UpdateNotice;
    notice_->onClick = [] { QDesktopServices::openUrl(AppInfo::site()); };
    layout->addWidget(notice_);

    auto* links = new QHBoxLayout;
    usageLink_ = new LinkButton(QStringLiteral("Usage page on claude.ai"), 12, QFont::Normal,
                                Theme::Tone::Secondary);
    connect(usageLink_, &QAbstractButton::clicked, this,
            [] { QDesktopServices::openUrl(QUrl(QString::fromLatin1(kUsagePage))); });
    quitButton_ = new LinkButton(QStringLiteral("Quit"), 12, QFont::Normal, Theme::Tone::Secondary);
    quitButton_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    connect(quitButton_, &QAbstractButton::clicked, this, [this] { quit(); });
    links->addWidget(usageLink_);
    links->addStretch(1);
    links->addWidget(quitButton_);
    layout->addLayout(links);

    product_ = new LinkButton(AppInfo::name() + u' ' + AppInfo::version() +
                                  QStringLiteral(" · made by Velkor Lab"),
                              11, QFont::Normal, Theme::Tone::Tertiary);
    product_->setAlignment(Qt::AlignCenter);
    product_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    product_->setToolTip(QStringLiteral("Open the Brimwatch page"));
    connect(product_, &QAbstractButton::clicked, this,
            [] { QDesktopServices::openUrl(AppInfo::site()); });
    layout->addWidget(product_);

    connect(prefs_, &Prefs::changed, this, &PopoverView::syncPrefs);
    connect(store_, &UsageStore::newVersionChanged, this, &PopoverView::syncNotice);
    connect(store_, &UsageStore::changed, this, &PopoverView::syncStatusLine);
    connect(stores_, &AccountStores::accountsChanged, this, &PopoverView::syncSections);
    connect(stores_, &AccountStores::changed, this, &PopoverView::syncHistory);
    syncPrefs();
    syncNotice();
    syncHistory();
}

void PopoverView::syncSections() {
    // Made anew when the accounts change, which is rare; the rows of each keep their identity.
    const bool several = stores_->stores().size() > 1;
    qDeleteAll(sections_);
    sections_.clear();
    for (qsizetype i = 0; i < stores_->stores().size(); ++i) {
        auto* section = new UsageContent(stores_->stores()[i], true, this);
        if (several)
            section->setTitle(stores_->accounts()[i].name);
        section->setShares(stores_->shares(), stores_->accounts()[i].folder());
        sectionsLayout_->addWidget(section);
        sections_ << section;
    }
    updateGeometry(); // the history follows at the change of the stores that comes next
}

void PopoverView::syncHistory() {
    const bool several = stores_->stores().size() > 1;
    history_->setStore(stores_->trayStore(), several ? stores_->trayAccount().name : QString());
}

void PopoverView::syncStatusLine() {
    QStringList lines;
    if (const auto& folder = store_->folderProblem())
        lines << *folder;
    const QString prefs = prefs_->problems();
    if (!prefs.isEmpty())
        lines << prefs.split(u'\n');
    for (QString& line : lines)
        line = Text::capped(line, kStatusLength);
    statusLine_->setText(lines.join(u'\n'));
    statusLine_->setVisible(!lines.isEmpty());
}

void PopoverView::syncPrefs() {
    for (SettingRow* row : {showRow_, onTopRow_, loginRow_, notifyRow_})
        row->sync();
    // The on-top switch means nothing while the card is off: it keeps its value, dimmed.
    const bool card = prefs_->desktopWidget();
    onTopRow_->setEnabled(card);
    onTopRow_->setOpacity(card ? 1.0 : 0.5);
    syncStatusLine();
}

void PopoverView::syncNotice() {
    const auto& version = store_->newVersion();
    if (version)
        notice_->setVersion(*version);
    notice_->setVisible(version.has_value());
}

void PopoverView::drawSurface(QPainter& p, const QRect& rect, const QPalette& palette) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Theme::primary(palette, 0.14), 1));
    p.setBrush(Theme::panelFill(palette));
    p.drawRoundedRect(QRectF(rect).adjusted(0.5, 0.5, -0.5, -0.5), kRadius, kRadius);
}

void PopoverView::paintEvent(QPaintEvent*) {
    if (!drawsSurface)
        return;
    QPainter p(this);
    drawSurface(p, rect(), palette());
}

UpdateNotice::UpdateNotice(QWidget* parent)
    : QWidget(parent) {
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setFont(Theme::font(12, QFont::DemiBold));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void UpdateNotice::setVersion(const QString& version) {
    text_ = AppInfo::name() + u' ' + version + QStringLiteral(" is out");
    setAccessibleName(text_);
    updateGeometry();
    update();
}

QSize UpdateNotice::sizeHint() const {
    const QFontMetrics m(font());
    return {m.horizontalAdvance(text_) + 60, m.height() + 14};
}

void UpdateNotice::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QColor back = Palette::accent();
    back.setAlphaF(hasFocus() || underMouse() ? 0.22f : 0.15f);
    p.setPen(Qt::NoPen);
    p.setBrush(back);
    p.drawRoundedRect(rect(), 7, 7);
    p.setPen(Theme::tone(palette(), Theme::Tone::Accent));
    const QRect inner = rect().adjusted(10, 7, -10, -7);
    p.drawText(inner, Qt::AlignLeft | Qt::AlignVCenter,
               QFontMetrics(font()).elidedText(text_, Qt::ElideRight, inner.width() - 50));
    p.drawText(inner, Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("Get it"));
}

void UpdateNotice::mouseReleaseEvent(QMouseEvent* e) {
    if (rect().contains(e->position().toPoint()) && onClick)
        onClick();
}

void UpdateNotice::keyPressEvent(QKeyEvent* e) {
    if ((e->key() == Qt::Key_Space || e->key() == Qt::Key_Return) && onClick)
        onClick();
    else
        QWidget::keyPressEvent(e);
}

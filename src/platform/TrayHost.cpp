#include "TrayHost.h"

#include "DesktopLook.h"
#include "StatusNotifierItem.h"
#include "WindowHints.h"
#include "XEmbedTray.h"

namespace {
constexpr int kLookInterval = 2000; // ms between looks for an X tray
} // namespace

TrayHost::TrayHost(const QDBusConnection& bus, QObject* parent)
    : TrayItem(parent) {
    if (bus.isConnected()) {
        sni_ = std::make_unique<StatusNotifierItem>(bus);
        forward(sni_.get());
        connect(sni_.get(), &TrayItem::visibilityChanged, this, &TrayHost::update);
    }
    look_.setInterval(kLookInterval);
    connect(&look_, &QTimer::timeout, this, &TrayHost::update);
    update();
}

TrayHost::~TrayHost() = default;

void TrayHost::forward(TrayItem* item) {
    connect(item, &TrayItem::activated, this, &TrayItem::activated);
    connect(item, &TrayItem::showUsageRequested, this, &TrayItem::showUsageRequested);
    connect(item, &TrayItem::menuOpened, this, &TrayItem::menuOpened);
    connect(item, &TrayItem::refreshRequested, this, &TrayItem::refreshRequested);
    connect(item, &TrayItem::quitRequested, this, &TrayItem::quitRequested);
}

void TrayHost::update() {
    // Qt's tray icon is made only once the watcher has said it shows no item of ours: made
    // while a watcher with a host is there, Qt would publish a second item of its own.
    if (sni_ && !sni_->settled())
        return;
    const bool sniShown = sni_ && sni_->isVisible();
    const bool xtray = !sniShown && WindowHints::systemTrayPresent();
    if (xtray && !xembed_) {
        xembed_ = std::make_unique<XEmbedTray>();
        forward(xembed_.get());
        xembed_->setLabel(label_);
        xembed_->setToolTip(toolTip_);
        xembed_->setReadings(readings_);
        if (!icons_.isEmpty())
            xembed_->setIcons(icons_);
    } else if (!xtray) {
        xembed_.reset();
    }
    if (sniShown)
        look_.stop();
    else if (!look_.isActive())
        look_.start();
    const bool shown = sniShown || xtray;
    if (shown != shown_) {
        shown_ = shown;
        emit visibilityChanged();
    }
}

void TrayHost::setIcons(const QList<QImage>& icons) {
    icons_ = icons;
    if (sni_)
        sni_->setIcons(icons);
    if (xembed_)
        xembed_->setIcons(icons);
}

void TrayHost::setLabel(const QString& label) {
    label_ = label;
    if (sni_)
        sni_->setLabel(label);
    if (xembed_)
        xembed_->setLabel(label);
}

void TrayHost::setToolTip(const QString& toolTip) {
    toolTip_ = toolTip;
    if (sni_)
        sni_->setToolTip(toolTip);
    if (xembed_)
        xembed_->setToolTip(toolTip);
}

void TrayHost::setDescription(const QString& description) {
    if (sni_)
        sni_->setDescription(description);
}

void TrayHost::setReadings(const QStringList& lines) {
    readings_ = lines;
    if (sni_)
        sni_->setReadings(lines);
    if (xembed_)
        xembed_->setReadings(lines);
}

bool TrayHost::drawsLabel() const {
    // XEmbed trays never do; of the StatusNotifierItem hosts, only GNOME's.
    return sni_ && sni_->isVisible() &&
           DesktopLook::isAppIndicatorHost(qEnvironmentVariable("XDG_CURRENT_DESKTOP"));
}

QRect TrayHost::geometry() const {
    return xembed_ ? xembed_->geometry() : QRect();
}

#include "XEmbedTray.h"

#include <QCursor>
#include <QIcon>
#include <QPixmap>

XEmbedTray::XEmbedTray(QObject* parent)
    : TrayItem(parent) {
    menu_.addAction(QStringLiteral("Show usage"), this, &TrayItem::showUsageRequested);
    menu_.addAction(QStringLiteral("Refresh now"), this, &TrayItem::refreshRequested);
    menu_.addSeparator();
    menu_.addAction(QStringLiteral("Quit"), this, &TrayItem::quitRequested);
    icon_.setContextMenu(&menu_);
    connect(&menu_, &QMenu::aboutToShow, this, &TrayItem::menuOpened);
    connect(&icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
        if (r == QSystemTrayIcon::Trigger || r == QSystemTrayIcon::DoubleClick)
            emit activated(QCursor::pos());
    });
}

void XEmbedTray::setIcons(const QList<QImage>& icons) {
    QIcon icon;
    for (const QImage& image : icons)
        icon.addPixmap(QPixmap::fromImage(image));
    icon_.setIcon(icon);
    icon_.show(); // shown once it has a picture
}

void XEmbedTray::setLabel(const QString& label) {
    label_ = label;
    updateToolTip();
}

void XEmbedTray::setToolTip(const QString& toolTip) {
    toolTip_ = toolTip;
    updateToolTip();
}

void XEmbedTray::updateToolTip() {
    const QString label = label_.trimmed();
    icon_.setToolTip(label.isEmpty() || toolTip_.contains(label) ? toolTip_
                                                                 : toolTip_ + u'\n' + label);
}

void XEmbedTray::setReadings(const QStringList& lines) {
    qDeleteAll(readings_);
    readings_.clear();
    QAction* first = menu_.actions().value(0);
    for (const QString& line : lines) {
        auto* a = new QAction(line, &menu_);
        a->setEnabled(false);
        readings_ << a;
    }
    if (!readings_.isEmpty()) {
        auto* separator = new QAction(&menu_);
        separator->setSeparator(true);
        readings_ << separator;
    }
    menu_.insertActions(first, readings_);
}

bool XEmbedTray::isVisible() const {
    return QSystemTrayIcon::isSystemTrayAvailable() && icon_.isVisible();
}

QRect XEmbedTray::geometry() const {
    return icon_.geometry();
}

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

bool XEmbedTray::isVisible() const {
    return QSystemTrayIcon::isSystemTrayAvailable() && icon_.isVisible();
}

QRect XEmbedTray::geometry() const {
    return icon_.geometry();
}

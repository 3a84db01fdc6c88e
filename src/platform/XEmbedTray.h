#pragma once

#include "TrayItem.h"

#include <QMenu>
#include <QSystemTrayIcon>

// The fallback for panels without a StatusNotifierWatcher: Qt's own tray icon.
// It cannot show text beside the icon, so the tooltip carries everything.
class XEmbedTray : public TrayItem {
public:
    explicit XEmbedTray(QObject* parent = nullptr);

    void setIcons(const QList<QImage>& icons) override;
    void setLabel(const QString& label) override;
    void setToolTip(const QString& toolTip) override;
    bool isVisible() const override;
    QRect geometry() const override;
    QMenu& menu() { return menu_; }

private:
    void updateToolTip();

    QSystemTrayIcon icon_;
    QMenu menu_;
    QString label_, toolTip_;
};

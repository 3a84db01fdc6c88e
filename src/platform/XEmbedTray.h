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
    void setReadings(const QStringList& lines) override;
    bool isVisible() const override;
    QRect geometry() const override;
    QMenu& menu() { return menu_; }

private:
    void updateToolTip();

    QSystemTrayIcon icon_;
    QMenu menu_;
    QList<QAction*> readings_; // at the menu's top, with a separator after them
    QString label_, toolTip_;
};

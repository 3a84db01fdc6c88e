#pragma once

#include "TrayItem.h"

#include <QDBusConnection>
#include <QTimer>

class StatusNotifierItem;
class XEmbedTray;

// The tray item wherever this desktop has a tray, one icon at a time: the StatusNotifierItem
// while a watcher with a host shows it, else Qt's XEmbed icon while an X tray runs. Panels
// that start after the app (as at login) or restart are followed.
class TrayHost final : public TrayItem {
public:
    explicit TrayHost(const QDBusConnection& bus, QObject* parent = nullptr);
    ~TrayHost() override;

    void setIcons(const QList<QImage>& icons) override;
    void setLabel(const QString& label) override;
    void setToolTip(const QString& toolTip) override;
    void setDescription(const QString& description) override;
    void setReadings(const QStringList& lines) override;
    bool isVisible() const override { return shown_; }
    QRect geometry() const override;
    bool drawsLabel() const override;

private:
    // Picks the icon for the hosts there are now.
    void update();
    void forward(TrayItem* item);

    std::unique_ptr<StatusNotifierItem> sni_;
    std::unique_ptr<XEmbedTray> xembed_;
    // An X tray announces itself only to whoever watches the root window: look now and then
    // while no watcher shows the item.
    QTimer look_;
    QList<QImage> icons_;
    QString label_, toolTip_;
    QStringList readings_;
    bool shown_ = false;
};

#pragma once

#include <QImage>
#include <QList>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QString>

#include <memory>

// The app's item in the panel's tray: a picture, a short text beside it where the host
// draws one, a tooltip, a click, and a menu (the readings, then "Show usage", "Refresh now" and
// "Quit") for a right click, and for hosts that open menus on a left click (GNOME's).
class TrayItem : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // The same picture at several pixel sizes; the host picks one.
    virtual void setIcons(const QList<QImage>& icons) = 0;
    virtual void setLabel(const QString& label) = 0;
    virtual void setToolTip(const QString& toolTip) = 0;
    // What a screen reader says of the item ("Claude usage: session 82%, resets in 2h 5m").
    virtual void setDescription(const QString&) {}
    // The lines at the top of the item's menu, greyed: what the item reads.
    virtual void setReadings(const QStringList&) {}

    // Whether a host shows the item, and where (empty when the host does not say).
    virtual bool isVisible() const = 0;
    virtual QRect geometry() const = 0;
    // Whether the host draws the label beside the icon.
    virtual bool drawsLabel() const { return false; }

    // The app's item for this desktop: a StatusNotifierItem while a watcher with a host is
    // on the session bus, an XEmbed icon while an X tray is there instead, and it follows
    // panels that come and go.
    static std::unique_ptr<TrayItem> create(QObject* parent = nullptr);

signals:
    void visibilityChanged();  // isVisible() may read otherwise now
    void activated(QPoint at); // a click, in screen coordinates when known
    void showUsageRequested();
    void menuOpened(); // the host shows the item's menu: it stands in for the panel
    void refreshRequested();
    void quitRequested();
};

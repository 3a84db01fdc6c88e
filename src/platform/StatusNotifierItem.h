#pragma once

#include "DBusTypes.h"
#include "TrayItem.h"

#include <QDBusConnection>
#include <QDBusServiceWatcher>

// Our own StatusNotifierItem (Qt's has no text label and no geometry), with a small
// com.canonical.dbusmenu menu. It registers with the watcher, and again whenever the
// watcher comes back; it is visible while a watcher has it and a host is registered.
class StatusNotifierItem : public TrayItem {
    Q_OBJECT
public:
    explicit StatusNotifierItem(const QDBusConnection& bus, QObject* parent = nullptr);
    ~StatusNotifierItem() override;

    static constexpr char kWatcher[] = "org.kde.StatusNotifierWatcher";
    static constexpr char kItemPath[] = "/StatusNotifierItem";
    static constexpr char kMenuPath[] = "/MenuBar";

    // Whether a watcher owns its name on this bus.
    static bool watcherPresent(const QDBusConnection& bus);

    void setIcons(const QList<QImage>& icons) override;
    void setLabel(const QString& label) override;
    void setToolTip(const QString& toolTip) override;
    void setDescription(const QString& description) override;
    bool isVisible() const override { return registered_ && hostRegistered_; }
    // False while the watcher has yet to answer whether it shows the item.
    bool settled() const { return asking_ == 0; }
    QRect geometry() const override { return {}; } // the protocol does not tell

    QString serviceName() const { return service_; }

    // What the adaptors publish.
    const SniPixmaps& pixmaps() const { return pixmaps_; }
    const QString& label() const { return label_; }
    const QString& description() const { return description_; }
    SniToolTip toolTipValue() const;

    void setReadings(const QStringList& lines) override;
    const QStringList& readings() const { return readings_; }
    // The menu's layout revision: it moves on whenever the readings change.
    uint menuRevision() const { return revision_; }
    // The host tells when it shows the menu.
    void menuShown();

private slots:
    void askForHost();

private:
    void registerWithWatcher();
    void watcherGone();
    void setShown(bool registered, bool host);
    void propertiesChanged(const QVariantMap& changed);

    QDBusConnection bus_;
    QString service_;
    QDBusServiceWatcher watcher_;
    class SniAdaptor* adaptor_;
    class DBusMenuObject* menuObject_;
    class DBusMenuAdaptor* menuAdaptor_;
    SniPixmaps pixmaps_;
    QString label_;
    QString toolTip_;
    QString description_;
    QStringList readings_;
    uint revision_ = 1;
    bool registered_ = false;
    bool hostRegistered_ = false;
    int asking_ = 0; // questions to the watcher not answered yet
};

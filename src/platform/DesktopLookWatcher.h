#pragma once

#include "DesktopLook.h"

#include <QDBusConnection>
#include <QDBusVariant>
#include <QFileSystemWatcher>
#include <QObject>

#include <memory>

class XSettings;

// Gathers the clues of DesktopLook from where the desktop publishes them, and follows their
// changes while the app runs: the XDG desktop portal's colour scheme, XSETTINGS' theme name,
// XFCE's panel setting (xfconf) and KDE's configuration files. Every source is asked without
// blocking; a source that is not there says nothing. The ringInk setting is not read here.
class DesktopLookWatcher : public QObject {
    Q_OBJECT
public:
    explicit DesktopLookWatcher(const QDBusConnection& bus, QObject* parent = nullptr);
    ~DesktopLookWatcher() override;

    const DesktopLook::Clues& clues() const { return clues_; }

signals:
    void changed();

private slots:
    void portalSettingChanged(const QString& group, const QString& key, const QDBusVariant& v);
    void xfconfPropertyChanged(const QString& channel, const QString& property,
                               const QDBusVariant& v);

private:
    void askPortal();
    void askXfconf();
    void readKdeFiles();
    void update(const DesktopLook::Clues& clues);

    QDBusConnection bus_;
    DesktopLook::Clues clues_;
    QFileSystemWatcher kdeFiles_;
    std::unique_ptr<XSettings> xsettings_;
};

#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QObject>
#include <QStringList>

// A StatusNotifierWatcher for tests: items register with it, and a host (the panel that
// draws them) is there or not, as the test says.
class TestWatcher : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)

public:
    // Registers on the bus under the watcher's well-known name.
    bool publish(QDBusConnection bus) {
        return bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), this,
                                  QDBusConnection::ExportAllContents) &&
               bus.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"));
    }
    // The panel that owned the watcher goes away.
    void unpublish(QDBusConnection bus) {
        bus.unregisterService(QStringLiteral("org.kde.StatusNotifierWatcher"));
        bus.unregisterObject(QStringLiteral("/StatusNotifierWatcher"));
        items_.clear();
    }
    void setHost(bool on) {
        host_ = on;
        if (on)
            emit StatusNotifierHostRegistered();
        else
            emit StatusNotifierHostUnregistered();
    }

    QStringList items() const { return items_; }
    bool hostRegistered() const { return host_; }
    int protocolVersion() const { return 0; }
    int registrations = 0;

public slots:
    void RegisterStatusNotifierItem(const QString& service) {
        ++registrations;
        // An item may give an object path instead of its name; then its name is the sender.
        const QString name = service.startsWith(u'/') ? message().service() : service;
        if (!items_.contains(name))
            items_ << name;
        emit StatusNotifierItemRegistered(name);
    }
    void RegisterStatusNotifierHost(const QString&) {}

signals:
    void StatusNotifierItemRegistered(const QString& service);
    void StatusNotifierItemUnregistered(const QString& service);
    void StatusNotifierHostRegistered();
    void StatusNotifierHostUnregistered();

private:
    QStringList items_;
    bool host_ = true;
};

#pragma once

#include <QDBusConnection>
#include <QProcess>

// A D-Bus daemon of the test's own, ended with the object.
class PrivateBus {
public:
    PrivateBus() {
        daemon_.start(QStringLiteral("dbus-daemon"),
                      {QStringLiteral("--session"), QStringLiteral("--nofork"),
                       QStringLiteral("--print-address=1")});
        if (daemon_.waitForReadyRead(10000))
            address_ = daemon_.readLine().trimmed();
    }
    ~PrivateBus() {
        for (const QString& name : std::as_const(names_))
            QDBusConnection::disconnectFromBus(name);
        daemon_.terminate();
        daemon_.waitForFinished(5000);
    }

    bool ok() const { return !address_.isEmpty(); }
    const QByteArray& address() const { return address_; }
    // A new connection under its own name, as another process would have.
    QDBusConnection connect(const QString& name) {
        names_ << name + QString::fromUtf8(address_);
        return QDBusConnection::connectToBus(QString::fromUtf8(address_), names_.last());
    }

private:
    QProcess daemon_;
    QByteArray address_;
    QStringList names_; // connection names are process-wide: each bus gets its own
};

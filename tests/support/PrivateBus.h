#pragma once

#include <QDBusConnection>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

// A D-Bus daemon of the test's own, ended with the object. Its service folder is its own and
// empty: nothing installed on the machine (a notification daemon, a desktop's services) is
// ever started on it.
class PrivateBus {
public:
    PrivateBus() {
        const QString config = dir_.filePath(QStringLiteral("bus.conf"));
        QFile in(QStringLiteral(BRIMWATCH_TEST_DATA "/private-bus.conf")), out(config);
        if (!dir_.isValid() || !in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly))
            return;
        out.write(in.readAll().replace("@DIR@", QFile::encodeName(dir_.path())));
        out.close();
        daemon_.start(QStringLiteral("dbus-daemon"),
                      {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
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
    QTemporaryDir dir_;
    QProcess daemon_;
    QByteArray address_;
    QStringList names_; // connection names are process-wide: each bus gets its own
};

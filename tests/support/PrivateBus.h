#pragma once

#include <QDBusConnection>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

// A D-Bus daemon of the test's own, ended with the object. Its configuration names a service
// folder of its own, empty: nothing installed on the machine (a notification daemon, a
// desktop's services) is ever started on it.
class PrivateBus {
public:
    PrivateBus() {
        const QString config = dir_.filePath(QStringLiteral("bus.conf"));
        QFile file(config);
        if (!dir_.isValid() || !file.open(QIODevice::WriteOnly))
            return;
        file.write(QStringLiteral(
                       "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration "
                       "1.0//EN\" \"http://www.freedesktop.org/standards/dbus/1.0/"
                       "busconfig.dtd\">\n<busconfig><type>session</type>"
                       "<listen>unix:dir=%1</listen><servicedir>%1</servicedir>"
                       "<policy context=\"default\"><allow send_destination=\"*\" "
                       "eavesdrop=\"true\"/><allow eavesdrop=\"true\"/><allow own=\"*\"/>"
                       "</policy></busconfig>\n")
                       .arg(dir_.path())
                       .toUtf8());
        file.close();
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

#include "LogindWake.h"

#include <QDBusConnection>

LogindWake::LogindWake(QObject* parent)
    : WakeSource(parent) {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return;
    watching_ = bus.connect(QStringLiteral("org.freedesktop.login1"),
                            QStringLiteral("/org/freedesktop/login1"),
                            QStringLiteral("org.freedesktop.login1.Manager"),
                            QStringLiteral("PrepareForSleep"), this, SLOT(prepareForSleep(bool)));
}

void LogindWake::prepareForSleep(bool sleeping) {
    if (!sleeping)
        emit woke();
}

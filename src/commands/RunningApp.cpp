#include "RunningApp.h"

#include "platform/AppBusNames.h"

#include <QDBusConnection>
#include <QDBusMessage>

#include <cstdio>
#include <cstdlib>

namespace RunningApp {

void call(const QString& method, const QVariantList& arguments) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    const QString service = QString::fromLatin1(AppBusNames::kService);
    QDBusMessage call = QDBusMessage::createMethodCall(
        service, QString::fromLatin1(AppBusNames::kPath), service, method);
    call.setAutoStartService(false);
    call.setArguments(arguments);
    bus.call(call, QDBus::Block, AppBusNames::kTimeout);
}

void end(int status) {
    std::fflush(nullptr);
    std::_Exit(status);
}

} // namespace RunningApp

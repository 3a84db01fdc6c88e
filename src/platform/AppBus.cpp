#include "AppBus.h"

#include <QDBusMessage>

AppBus::AppBus(const QDBusConnection& bus, QObject* parent)
    : QObject(parent) {
    QDBusConnection b = bus;
    if (b.registerObject(QString::fromLatin1(kPath), this, QDBusConnection::ExportScriptableSlots))
        b.registerService(QString::fromLatin1(kService));
}

void AppBus::ShowPanel() {
    emit showPanelRequested();
}

void AppBus::ReportLimits(const QVariantMap& limits) {
    emit limitsReported(limits);
}

void AppBus::AccountsChanged() {
    emit accountsChanged();
}

std::optional<QString> AppBus::showPanelOfRunning(const QDBusConnection& bus) {
    if (!bus.isConnected())
        return QStringLiteral("there is no session bus");
    const QString service = QString::fromLatin1(kService);
    const QDBusMessage reply = QDBusConnection(bus).call(
        QDBusMessage::createMethodCall(service, QString::fromLatin1(kPath), service,
                                       QStringLiteral("ShowPanel")),
        QDBus::Block, kTimeout);
    if (reply.type() == QDBusMessage::ErrorMessage)
        return reply.errorMessage();
    return std::nullopt;
}

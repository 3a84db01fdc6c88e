#include "Notifications.h"

#include "Diagnostics.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace {
const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
} // namespace

Notifications::Notifications(const QDBusConnection& bus, QObject* parent)
    : QObject(parent)
    , bus_(bus) {
    bus_.connect(kService, kPath, kService, QStringLiteral("ActionInvoked"), this,
                 SLOT(actionInvoked(uint, QString)));
    bus_.connect(kService, kPath, kService, QStringLiteral("NotificationClosed"), this,
                 SLOT(closed(uint, uint)));
}

void Notifications::notify(const QString& summary, const QString& body, Urgency urgency) {
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    call << QStringLiteral("Brimwatch") << uint(0) << QStringLiteral("brimwatch") << summary << body
         << QStringList{QStringLiteral("default"), QStringLiteral("Show usage")}
         << QVariantMap{{QStringLiteral("urgency"), QVariant::fromValue(uchar(urgency))}}
         << int(-1);
    auto* pending = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this, pending] {
        pending->deleteLater();
        const QDBusPendingReply<uint> reply = *pending;
        if (reply.isError())
            Diagnostics::tellOnce(QStringLiteral("notifications can't be shown: ") +
                                  reply.error().message());
        else
            ours_.insert(reply.value());
    });
}

void Notifications::actionInvoked(uint id, const QString& action) {
    if (ours_.contains(id) && action == u"default")
        emit activated();
}

void Notifications::closed(uint id, uint) {
    ours_.remove(id);
}

#include "Notifications.h"

#include "files/Diagnostics.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

// The "image-data" hint: (iiibiiay), width, height, row stride, alpha, bits, channels, RGBA.
QVariant imageData(const QImage& image) {
    const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
    QDBusArgument arg;
    arg.beginStructure();
    arg << rgba.width() << rgba.height() << int(rgba.bytesPerLine()) << true << 8 << 4
        << QByteArray(reinterpret_cast<const char*>(rgba.constBits()), rgba.sizeInBytes());
    arg.endStructure();
    return QVariant::fromValue(arg);
}

} // namespace

Notifications::Notifications(const QDBusConnection& bus, QObject* parent)
    : QObject(parent)
    , bus_(bus) {
    bus_.connect(kService, kPath, kService, QStringLiteral("ActionInvoked"), this,
                 SLOT(actionInvoked(uint, QString)));
    bus_.connect(kService, kPath, kService, QStringLiteral("NotificationClosed"), this,
                 SLOT(closed(uint, uint)));
}

void Notifications::notify(const Bubble& b, std::function<void(uint)> shown) {
    QVariantMap hints{{QStringLiteral("urgency"), QVariant::fromValue(uchar(b.urgency))},
                      {QStringLiteral("desktop-entry"), QStringLiteral("brimwatch")}};
    if (!b.image.isNull())
        hints.insert(QStringLiteral("image-data"), imageData(b.image));
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    call << QStringLiteral("Brimwatch") << b.replaces << QStringLiteral("brimwatch") << b.summary
         << b.body << QStringList{QStringLiteral("default"), QStringLiteral("Show usage")} << hints
         << int(-1);
    auto* pending = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this, pending, shown = std::move(shown)] {
                pending->deleteLater();
                const QDBusPendingReply<uint> reply = *pending;
                if (reply.isError())
                    Diagnostics::tellOnce(QStringLiteral("notifications can't be shown: ") +
                                          reply.error().message());
                else
                    ours_.insert(reply.value());
                if (shown)
                    shown(reply.isError() ? 0 : reply.value());
            });
}

void Notifications::close(uint id) {
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService,
                                                       QStringLiteral("CloseNotification"));
    call << id;
    bus_.asyncCall(call);
    ours_.remove(id);
}

void Notifications::actionInvoked(uint id, const QString& action) {
    if (ours_.contains(id) && action == u"default")
        emit activated();
}

void Notifications::closed(uint id, uint) {
    ours_.remove(id);
}

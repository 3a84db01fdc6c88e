#include "Notifications.h"

#include "files/Diagnostics.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

#include <algorithm>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
constexpr int kRemembered = 16;              // closed bubbles whose clicks still count
constexpr int kRememberFor = 10 * 60 * 1000; // ms

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
                 SLOT(serverClosed(uint, uint)));
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
    forget(id);
}

void Notifications::closeAll() {
    for (uint id : QSet<uint>(ours_))
        close(id);
}

void Notifications::actionInvoked(uint id, const QString& action) {
    const bool lately = std::any_of(closedLately_.begin(), closedLately_.end(), [id](auto& c) {
        return c.first == id && !c.second.hasExpired();
    });
    if ((ours_.contains(id) || lately) && action == u"default")
        emit activated();
}

void Notifications::serverClosed(uint id, uint) {
    forget(id);
}

void Notifications::forget(uint id) {
    if (!ours_.remove(id))
        return;
    closedLately_.removeIf([](auto& c) { return c.second.hasExpired(); });
    if (closedLately_.size() >= kRemembered)
        closedLately_.removeFirst();
    closedLately_.append({id, QDeadlineTimer(kRememberFor)});
    emit closed(id);
}

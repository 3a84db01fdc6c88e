#include "StatusNotifierItem.h"

#include "SniAdaptors.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QtEndian>

#include <algorithm>

namespace {

const QString kItemInterface = QStringLiteral("org.kde.StatusNotifierItem");

SniPixmap toPixmap(const QImage& image) {
    // ARGB32 with each pixel's bytes in network order: A, R, G, B.
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    SniPixmap p{argb.width(), argb.height(), {}};
    p.bytes.resize(qsizetype(argb.width()) * argb.height() * 4);
    auto* out = reinterpret_cast<quint32*>(p.bytes.data());
    for (int y = 0; y < argb.height(); ++y) {
        const auto* line = reinterpret_cast<const quint32*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x)
            *out++ = qToBigEndian(line[x]);
    }
    return p;
}

} // namespace

StatusNotifierItem::StatusNotifierItem(const QDBusConnection& bus, QObject* parent)
    : TrayItem(parent)
    , bus_(bus)
    , service_(
          QStringLiteral("org.kde.StatusNotifierItem-%1-1").arg(QCoreApplication::applicationPid()))
    , watcher_(QString::fromLatin1(kWatcher), bus,
               QDBusServiceWatcher::WatchForRegistration |
                   QDBusServiceWatcher::WatchForUnregistration)
    , adaptor_(new SniAdaptor(this))
    , menuObject_(new DBusMenuObject(this)) {
    registerTrayDBusTypes();
    menuAdaptor_ = new DBusMenuAdaptor(menuObject_, this);
    bus_.registerObject(QString::fromLatin1(kItemPath), this, QDBusConnection::ExportAdaptors);
    bus_.registerObject(QString::fromLatin1(kMenuPath), menuObject_,
                        QDBusConnection::ExportAdaptors);
    bus_.registerService(service_);
    // A restarted panel brings a new watcher, which knows nothing of us.
    connect(&watcher_, &QDBusServiceWatcher::serviceRegistered, this,
            &StatusNotifierItem::registerWithWatcher);
    connect(&watcher_, &QDBusServiceWatcher::serviceUnregistered, this,
            &StatusNotifierItem::watcherGone);
    // A host (the panel's tray) may register with the watcher after us.
    for (const char* signal : {"StatusNotifierHostRegistered", "StatusNotifierHostUnregistered"})
        bus_.connect(QString::fromLatin1(kWatcher), QStringLiteral("/StatusNotifierWatcher"),
                     QString::fromLatin1(kWatcher), QString::fromLatin1(signal), this,
                     SLOT(askForHost()));
    if (watcherPresent(bus_))
        registerWithWatcher();
}

StatusNotifierItem::~StatusNotifierItem() {
    bus_.unregisterObject(QString::fromLatin1(kMenuPath));
    bus_.unregisterObject(QString::fromLatin1(kItemPath));
    bus_.unregisterService(service_);
}

bool StatusNotifierItem::watcherPresent(const QDBusConnection& bus) {
    return bus.isConnected() && bus.interface() &&
           bus.interface()->isServiceRegistered(QString::fromLatin1(kWatcher)).value();
}

void StatusNotifierItem::registerWithWatcher() {
    const QString watcher = QString::fromLatin1(kWatcher);
    QDBusMessage call =
        QDBusMessage::createMethodCall(watcher, QStringLiteral("/StatusNotifierWatcher"), watcher,
                                       QStringLiteral("RegisterStatusNotifierItem"));
    call << service_;
    // Asynchronous: a slow or stuck panel never blocks the app.
    ++asking_;
    auto* pending = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this, pending] {
        pending->deleteLater();
        --asking_;
        if (!pending->isError())
            askForHost(); // registered; shown once a host is there
        else
            setShown(false, false);
    });
}

void StatusNotifierItem::askForHost() {
    QDBusMessage ask = QDBusMessage::createMethodCall(
        QString::fromLatin1(kWatcher), QStringLiteral("/StatusNotifierWatcher"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    ask << QString::fromLatin1(kWatcher) << QStringLiteral("IsStatusNotifierHostRegistered");
    ++asking_;
    auto* host = new QDBusPendingCallWatcher(bus_.asyncCall(ask), this);
    connect(host, &QDBusPendingCallWatcher::finished, this, [this, host] {
        host->deleteLater();
        --asking_;
        const QDBusPendingReply<QDBusVariant> reply = *host;
        setShown(reply.isValid(), reply.isValid() && reply.value().variant().toBool());
    });
}

void StatusNotifierItem::watcherGone() {
    setShown(false, false);
}

void StatusNotifierItem::setShown(bool registered, bool host) {
    registered_ = registered;
    hostRegistered_ = host;
    if (settled())
        emit visibilityChanged(); // the answer, even when it is the same as before
}

void StatusNotifierItem::propertiesChanged(const QVariantMap& changed) {
    // QtDBus does not announce adaptor properties by itself.
    QDBusMessage signal = QDBusMessage::createSignal(
        QString::fromLatin1(kItemPath), QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("PropertiesChanged"));
    signal << kItemInterface << changed << QStringList();
    bus_.send(signal);
}

void StatusNotifierItem::setIcons(const QList<QImage>& icons) {
    SniPixmaps pixmaps;
    for (const QImage& image : icons)
        pixmaps << toPixmap(image);
    const auto same = [](const SniPixmap& a, const SniPixmap& b) {
        return a.width == b.width && a.height == b.height && a.bytes == b.bytes;
    };
    if (std::equal(pixmaps.begin(), pixmaps.end(), pixmaps_.begin(), pixmaps_.end(), same))
        return; // the clock ticks often; the picture changes rarely
    pixmaps_ = pixmaps;
    emit adaptor_->NewIcon();
    propertiesChanged({{QStringLiteral("IconPixmap"), QVariant::fromValue(pixmaps_)}});
}

void StatusNotifierItem::setLabel(const QString& label) {
    if (label == label_)
        return;
    label_ = label;
    emit adaptor_->XAyatanaNewLabel(label_, label_);
    propertiesChanged({{QStringLiteral("XAyatanaLabel"), label_},
                       {QStringLiteral("XAyatanaLabelGuide"), label_}});
}

SniToolTip StatusNotifierItem::toolTipValue() const {
    // The name as the title and the readings as the text: a host that finds no text puts the
    // item's description under the title, which says the readings again.
    return {QString(), {}, QStringLiteral("Claude usage"), toolTip_};
}

void StatusNotifierItem::setToolTip(const QString& toolTip) {
    if (toolTip == toolTip_)
        return;
    toolTip_ = toolTip;
    emit adaptor_->NewToolTip();
    propertiesChanged({{QStringLiteral("ToolTip"), QVariant::fromValue(toolTipValue())}});
}

void StatusNotifierItem::setDescription(const QString& description) {
    if (description == description_)
        return;
    description_ = description;
    propertiesChanged({{QStringLiteral("IconAccessibleDesc"), description_},
                       {QStringLiteral("AttentionAccessibleDesc"), description_}});
}

void StatusNotifierItem::setReadings(const QStringList& lines) {
    if (lines == readings_)
        return;
    readings_ = lines;
    emit menuAdaptor_->LayoutUpdated(++revision_, 0);
}

void StatusNotifierItem::menuShown() {
    emit menuOpened();
}

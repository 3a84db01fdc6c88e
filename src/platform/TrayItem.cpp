#include "TrayItem.h"

#include "StatusNotifierItem.h"
#include "XEmbedTray.h"

std::unique_ptr<TrayItem> TrayItem::create(QObject* parent) {
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (StatusNotifierItem::watcherPresent(bus))
        return std::make_unique<StatusNotifierItem>(bus, parent);
    return std::make_unique<XEmbedTray>(parent);
}

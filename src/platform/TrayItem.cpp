#include "TrayItem.h"

#include "TrayHost.h"

std::unique_ptr<TrayItem> TrayItem::create(QObject* parent) {
    return std::make_unique<TrayHost>(QDBusConnection::sessionBus(), parent);
}

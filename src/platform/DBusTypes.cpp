#include "DBusTypes.h"

#include <QDBusMetaType>

QDBusArgument& operator<<(QDBusArgument& a, const SniPixmap& v) {
    a.beginStructure();
    a << v.width << v.height << v.bytes;
    a.endStructure();
    return a;
}
const QDBusArgument& operator>>(const QDBusArgument& a, SniPixmap& v) {
    a.beginStructure();
    a >> v.width >> v.height >> v.bytes;
    a.endStructure();
    return a;
}

QDBusArgument& operator<<(QDBusArgument& a, const SniToolTip& v) {
    a.beginStructure();
    a << v.iconName << v.icon << v.title << v.text;
    a.endStructure();
    return a;
}
const QDBusArgument& operator>>(const QDBusArgument& a, SniToolTip& v) {
    a.beginStructure();
    a >> v.iconName >> v.icon >> v.title >> v.text;
    a.endStructure();
    return a;
}

QDBusArgument& operator<<(QDBusArgument& a, const DBusMenuItem& v) {
    a.beginStructure();
    a << v.id << v.properties;
    a.endStructure();
    return a;
}
const QDBusArgument& operator>>(const QDBusArgument& a, DBusMenuItem& v) {
    a.beginStructure();
    a >> v.id >> v.properties;
    a.endStructure();
    return a;
}

QDBusArgument& operator<<(QDBusArgument& a, const DBusMenuItemKeys& v) {
    a.beginStructure();
    a << v.id << v.properties;
    a.endStructure();
    return a;
}
const QDBusArgument& operator>>(const QDBusArgument& a, DBusMenuItemKeys& v) {
    a.beginStructure();
    a >> v.id >> v.properties;
    a.endStructure();
    return a;
}

QDBusArgument& operator<<(QDBusArgument& a, const DBusMenuLayoutItem& v) {
    a.beginStructure();
    a << v.id << v.properties;
    a.beginArray(qMetaTypeId<QDBusVariant>());
    for (const DBusMenuLayoutItem& child : v.children)
        a << QDBusVariant(QVariant::fromValue(child));
    a.endArray();
    a.endStructure();
    return a;
}
const QDBusArgument& operator>>(const QDBusArgument& a, DBusMenuLayoutItem& v) {
    a.beginStructure();
    a >> v.id >> v.properties;
    a.beginArray();
    v.children.clear();
    while (!a.atEnd()) {
        QDBusVariant child;
        a >> child;
        const QDBusArgument inner = child.variant().value<QDBusArgument>();
        DBusMenuLayoutItem item;
        inner >> item;
        v.children << item;
    }
    a.endArray();
    a.endStructure();
    return a;
}

QDBusArgument& operator<<(QDBusArgument& a, const DBusMenuEvent& v) {
    a.beginStructure();
    a << v.id << v.eventId << v.data << v.timestamp;
    a.endStructure();
    return a;
}
const QDBusArgument& operator>>(const QDBusArgument& a, DBusMenuEvent& v) {
    a.beginStructure();
    a >> v.id >> v.eventId >> v.data >> v.timestamp;
    a.endStructure();
    return a;
}

void registerTrayDBusTypes() {
    static const bool done = [] {
        qDBusRegisterMetaType<SniPixmap>();
        qDBusRegisterMetaType<SniPixmaps>();
        qDBusRegisterMetaType<SniToolTip>();
        qDBusRegisterMetaType<DBusMenuItem>();
        qDBusRegisterMetaType<DBusMenuItemList>();
        qDBusRegisterMetaType<DBusMenuItemKeys>();
        qDBusRegisterMetaType<DBusMenuItemKeysList>();
        qDBusRegisterMetaType<DBusMenuLayoutItem>();
        qDBusRegisterMetaType<DBusMenuEvent>();
        qDBusRegisterMetaType<DBusMenuEventList>();
        // Slots and signals name the lists by these aliases; QtDBus looks types up by name.
        qRegisterMetaType<SniPixmaps>("SniPixmaps");
        qRegisterMetaType<DBusMenuItemList>("DBusMenuItemList");
        qRegisterMetaType<DBusMenuItemKeysList>("DBusMenuItemKeysList");
        qRegisterMetaType<DBusMenuEventList>("DBusMenuEventList");
        return true;
    }();
    (void)done;
}

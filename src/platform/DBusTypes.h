#pragma once

// The D-Bus types of the StatusNotifierItem and com.canonical.dbusmenu protocols.

#include <QDBusArgument>
#include <QDBusVariant>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVariantMap>

// (iiay): one icon size, ARGB32 in network byte order.
struct SniPixmap {
    int width = 0;
    int height = 0;
    QByteArray bytes;
};
using SniPixmaps = QList<SniPixmap>;

// (sa(iiay)ss): icon name, icon, title, text.
struct SniToolTip {
    QString iconName;
    SniPixmaps icon;
    QString title;
    QString text;
};

// (ia{sv}): one menu item's properties.
struct DBusMenuItem {
    int id = 0;
    QVariantMap properties;
};
using DBusMenuItemList = QList<DBusMenuItem>;

// (ias): names of properties an item dropped.
struct DBusMenuItemKeys {
    int id = 0;
    QStringList properties;
};
using DBusMenuItemKeysList = QList<DBusMenuItemKeys>;

// (ia{sv}av): an item and its children, each child a variant of the same structure.
struct DBusMenuLayoutItem {
    int id = 0;
    QVariantMap properties;
    QList<DBusMenuLayoutItem> children;
};

// (isvu): one event of a group.
struct DBusMenuEvent {
    int id = 0;
    QString eventId;
    QDBusVariant data;
    uint timestamp = 0;
};
using DBusMenuEventList = QList<DBusMenuEvent>;

Q_DECLARE_METATYPE(SniPixmap)
Q_DECLARE_METATYPE(SniToolTip)
Q_DECLARE_METATYPE(DBusMenuItem)
Q_DECLARE_METATYPE(DBusMenuItemKeys)
Q_DECLARE_METATYPE(DBusMenuLayoutItem)
Q_DECLARE_METATYPE(DBusMenuEvent)

QDBusArgument& operator<<(QDBusArgument& a, const SniPixmap& v);
const QDBusArgument& operator>>(const QDBusArgument& a, SniPixmap& v);
QDBusArgument& operator<<(QDBusArgument& a, const SniToolTip& v);
const QDBusArgument& operator>>(const QDBusArgument& a, SniToolTip& v);
QDBusArgument& operator<<(QDBusArgument& a, const DBusMenuItem& v);
const QDBusArgument& operator>>(const QDBusArgument& a, DBusMenuItem& v);
QDBusArgument& operator<<(QDBusArgument& a, const DBusMenuItemKeys& v);
const QDBusArgument& operator>>(const QDBusArgument& a, DBusMenuItemKeys& v);
QDBusArgument& operator<<(QDBusArgument& a, const DBusMenuLayoutItem& v);
const QDBusArgument& operator>>(const QDBusArgument& a, DBusMenuLayoutItem& v);
QDBusArgument& operator<<(QDBusArgument& a, const DBusMenuEvent& v);
const QDBusArgument& operator>>(const QDBusArgument& a, DBusMenuEvent& v);

// Registers all of the above with QtDBus; safe to call more than once.
void registerTrayDBusTypes();

#include "SniAdaptors.h"

#include "StatusNotifierItem.h"

SniAdaptor::SniAdaptor(StatusNotifierItem* item)
    : QDBusAbstractAdaptor(item)
    , item_(item) {}

SniPixmaps SniAdaptor::iconPixmap() const {
    return item_->pixmaps();
}
SniToolTip SniAdaptor::toolTip() const {
    return item_->toolTipValue();
}
QDBusObjectPath SniAdaptor::menu() const {
    return QDBusObjectPath(QString::fromLatin1(StatusNotifierItem::kMenuPath));
}
QString SniAdaptor::label() const {
    return item_->label();
}
QString SniAdaptor::description() const {
    return item_->description();
}

void SniAdaptor::Activate(int x, int y) {
    emit item_->activated(QPoint(x, y));
}
void SniAdaptor::SecondaryActivate(int x, int y) {
    emit item_->activated(QPoint(x, y));
}
// Hosts that want a menu read it from the Menu object; nothing to do here.
void SniAdaptor::ContextMenu(int, int) {}
void SniAdaptor::Scroll(int, const QString&) {}
void SniAdaptor::ProvideXdgActivationToken(const QString&) {}

DBusMenuAdaptor::DBusMenuAdaptor(DBusMenuObject* parent, StatusNotifierItem* item)
    : QDBusAbstractAdaptor(parent)
    , item_(item) {}

QList<int> DBusMenuAdaptor::children() const {
    QList<int> ids;
    for (qsizetype i = 0; i < item_->readings().size(); ++i)
        ids << int(FirstReading + i);
    if (!ids.isEmpty())
        ids << ReadingsEnd;
    return ids << ShowUsage << Refresh << Separator << Quit;
}

bool DBusMenuAdaptor::known(int id) const {
    return id == Root || children().contains(id);
}

QVariantMap DBusMenuAdaptor::properties(int id, const QStringList& names) const {
    QVariantMap all;
    const auto entry = [&](const QString& label, bool enabled) {
        // dbusmenu takes '_' as the mark of an access key: a name's own is doubled.
        all.insert(QStringLiteral("label"), QString(label).replace(u'_', QStringLiteral("__")));
        all.insert(QStringLiteral("type"), QStringLiteral("standard"));
        all.insert(QStringLiteral("enabled"), enabled);
        all.insert(QStringLiteral("visible"), true);
    };
    if (id == Root)
        all.insert(QStringLiteral("children-display"), QStringLiteral("submenu"));
    else if (id == ShowUsage)
        entry(QStringLiteral("Show usage"), true);
    else if (id == Refresh)
        entry(QStringLiteral("Refresh now"), true);
    else if (id == Quit)
        entry(QStringLiteral("Quit"), true);
    else if (id == Separator || id == ReadingsEnd)
        all.insert(QStringLiteral("type"), QStringLiteral("separator"));
    else if (known(id))
        entry(item_->readings().value(id - FirstReading), false); // what the item reads
    if (names.isEmpty())
        return all;
    QVariantMap some;
    for (const QString& name : names)
        if (all.contains(name))
            some.insert(name, all.value(name));
    return some;
}

uint DBusMenuAdaptor::GetLayout(int parentId, int recursionDepth, const QStringList& names,
                                DBusMenuLayoutItem& layout) {
    layout = {};
    if (!known(parentId))
        refuse(QStringLiteral("no menu item %1").arg(parentId));
    layout.id = parentId;
    layout.properties = properties(parentId, names);
    if (parentId == Root && recursionDepth != 0)
        for (int id : children())
            layout.children << DBusMenuLayoutItem{id, properties(id, names), {}};
    return item_->menuRevision();
}

DBusMenuItemList DBusMenuAdaptor::GetGroupProperties(const QList<int>& ids,
                                                     const QStringList& names) {
    DBusMenuItemList items;
    for (int id : ids.isEmpty() ? QList<int>{Root} + children() : ids)
        if (known(id))
            items << DBusMenuItem{id, properties(id, names)};
    return items;
}

QDBusVariant DBusMenuAdaptor::GetProperty(int id, const QString& name) {
    // A variant with nothing in it cannot be sent: an unknown item or property is an error,
    // answered at once, not a call left to time out.
    const QVariant value = properties(id, {}).value(name);
    if (!value.isValid()) {
        refuse(QStringLiteral("no property %1 of menu item %2").arg(name).arg(id));
        return QDBusVariant(QString());
    }
    return QDBusVariant(value);
}

void DBusMenuAdaptor::refuse(const QString& why) {
    const auto* menu = static_cast<const DBusMenuObject*>(parent());
    if (menu->calledFromDBus())
        menu->sendErrorReply(QDBusError::InvalidArgs, why);
}

void DBusMenuAdaptor::Event(int id, const QString& eventId, const QDBusVariant&, uint) {
    if (id == Root && eventId == u"opened")
        item_->menuShown();
    if (eventId != u"clicked")
        return;
    switch (id) {
    case ShowUsage:
        emit item_->showUsageRequested();
        break;
    case Refresh:
        emit item_->refreshRequested();
        break;
    case Quit:
        emit item_->quitRequested();
        break;
    default:
        break;
    }
}

QList<int> DBusMenuAdaptor::EventGroup(const DBusMenuEventList& events) {
    QList<int> unknown;
    for (const DBusMenuEvent& e : events) {
        if (!known(e.id))
            unknown << e.id;
        else
            Event(e.id, e.eventId, e.data, e.timestamp);
    }
    return unknown;
}

bool DBusMenuAdaptor::AboutToShow(int) {
    return false;
}

QList<int> DBusMenuAdaptor::AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors) {
    idErrors.clear();
    for (int id : ids)
        if (!known(id))
            idErrors << id;
    return {};
}

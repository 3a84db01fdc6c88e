#include "XSettings.h"

#include "X11.h"

#include <QColor>
#include <QCoreApplication>
#include <QtEndian>

namespace {

xcb_connection_t* xcb(void* c) {
    return static_cast<xcb_connection_t*>(c);
}

} // namespace

std::unique_ptr<XSettings> XSettings::create() {
    xcb_connection_t* c = X11::connection();
    if (!c)
        return nullptr;
    const xcb_window_t owner = X11::selectionOwner(c, "_XSETTINGS_S0");
    if (owner == XCB_NONE)
        return nullptr;
    std::unique_ptr<XSettings> s(new XSettings);
    s->connection_ = c;
    s->owner_ = owner;
    s->property_ = X11::atom(c, "_XSETTINGS_SETTINGS");
    // Only our own interest in the manager's window changes: every client has its own mask.
    const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(c, owner, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(c);
    s->read();
    QCoreApplication::instance()->installNativeEventFilter(s.get());
    return s;
}

XSettings::~XSettings() {
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

void XSettings::read() {
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        xcb(connection_),
        xcb_get_property(xcb(connection_), 0, owner_, property_, XCB_ATOM_ANY, 0, 1 << 16),
        nullptr);
    if (!reply)
        return;
    values_ = parse(QByteArray(static_cast<const char*>(xcb_get_property_value(reply)),
                               xcb_get_property_value_length(reply)));
    std::free(reply);
}

bool XSettings::nativeEventFilter(const QByteArray& type, void* message, qintptr*) {
    if (type != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
        return false;
    const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event);
    if (notify->window == owner_ && notify->atom == property_) {
        read();
        emit changed();
    }
    return false; // others may want it too
}

QMap<QString, QVariant> XSettings::parse(const QByteArray& data) {
    QMap<QString, QVariant> out;
    if (data.size() < 12)
        return out;
    const bool big = data[0] != 0;
    qsizetype at = 0;
    const auto fits = [&](qsizetype n) { return n >= 0 && at + n <= data.size(); };
    const auto card = [&](int bytes) -> quint32 {
        const auto* p = reinterpret_cast<const uchar*>(data.constData() + at);
        at += bytes;
        if (bytes == 2)
            return big ? qFromBigEndian<quint16>(p) : qFromLittleEndian<quint16>(p);
        return big ? qFromBigEndian<quint32>(p) : qFromLittleEndian<quint32>(p);
    };
    const auto padded = [](qsizetype n) { return (n + 3) & ~qsizetype(3); };
    at = 8;
    const quint32 count = card(4);
    for (quint32 i = 0; i < count && fits(4); ++i) {
        const int kind = uchar(data[at]);
        at += 2;
        const qsizetype nameLength = card(2);
        if (!fits(padded(nameLength) + 4))
            break;
        const QString name = QString::fromUtf8(data.mid(at, nameLength));
        at += padded(nameLength) + 4; // the name, then its serial
        if (kind == 0 && fits(4)) {
            out.insert(name, qint32(card(4)));
        } else if (kind == 1 && fits(4)) {
            const qsizetype length = card(4);
            if (!fits(padded(length)))
                break;
            out.insert(name, QString::fromUtf8(data.mid(at, length)));
            at += padded(length);
        } else if (kind == 2 && fits(8)) {
            const int r = int(card(2)), g = int(card(2)), b = int(card(2)), a = int(card(2));
            out.insert(name, QColor::fromRgba64(quint16(r), quint16(g), quint16(b), quint16(a)));
        } else {
            break; // a type this reader does not know: the rest cannot be found
        }
    }
    return out;
}

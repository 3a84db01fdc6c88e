#include "WindowHints.h"

#include <QGuiApplication>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace WindowHints {

namespace {

xcb_connection_t* x11() {
    // Not qGuiApp: that casts blindly, and a bus-only process has a QCoreApplication.
    auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    auto* native = gui ? gui->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return native ? native->connection() : nullptr;
}

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t a = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return a;
}

bool selectionOwned(xcb_connection_t* c, const char* selection) {
    xcb_get_selection_owner_reply_t* reply =
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, atom(c, selection)), nullptr);
    const bool owned = reply && reply->owner != XCB_NONE;
    std::free(reply);
    return owned;
}

} // namespace

void makeDesktopCard(QWindow* window) {
    xcb_connection_t* c = x11();
    if (!c || !window)
        return;
    const xcb_window_t id = xcb_window_t(window->winId());
    // Qt keeps these when it maps the window: it merges its own states into the property.
    const xcb_atom_t states[] = {atom(c, "_NET_WM_STATE_STICKY"),
                                 atom(c, "_NET_WM_STATE_SKIP_TASKBAR"),
                                 atom(c, "_NET_WM_STATE_SKIP_PAGER")};
    xcb_change_property(c, XCB_PROP_MODE_APPEND, id, atom(c, "_NET_WM_STATE"), XCB_ATOM_ATOM, 32, 3,
                        states);
    const uint32_t allDesktops = 0xFFFFFFFF;
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, atom(c, "_NET_WM_DESKTOP"), XCB_ATOM_CARDINAL,
                        32, 1, &allDesktops);
    xcb_flush(c);
}

bool hasCompositor() {
    xcb_connection_t* c = x11();
    if (!c)
        return true; // Wayland compositors always blend
    return selectionOwned(c, "_NET_WM_CM_S0");
}

bool systemTrayPresent() {
    xcb_connection_t* c = x11();
    return c && selectionOwned(c, "_NET_SYSTEM_TRAY_S0");
}

std::optional<bool> buttonHeld() {
    xcb_connection_t* c = x11();
    if (!c)
        return std::nullopt;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_query_pointer_reply_t* reply =
        xcb_query_pointer_reply(c, xcb_query_pointer(c, root), nullptr);
    if (!reply)
        return std::nullopt;
    const bool held = reply->mask & (XCB_BUTTON_MASK_1 | XCB_BUTTON_MASK_2 | XCB_BUTTON_MASK_3);
    std::free(reply);
    return held;
}

} // namespace WindowHints

#include "WindowHints.h"

#include "X11.h"

#include <QWindow>

namespace WindowHints {

using X11::atom;

void makeDesktopCard(QWindow* window) {
    xcb_connection_t* c = X11::connection();
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
    xcb_connection_t* c = X11::connection();
    if (!c)
        return true; // Wayland compositors always blend
    return X11::selectionOwner(c, "_NET_WM_CM_S0") != XCB_NONE;
}

bool systemTrayPresent() {
    xcb_connection_t* c = X11::connection();
    return c && X11::selectionOwner(c, "_NET_SYSTEM_TRAY_S0") != XCB_NONE;
}

std::optional<bool> buttonHeld() {
    xcb_connection_t* c = X11::connection();
    if (!c)
        return std::nullopt;
    xcb_query_pointer_reply_t* reply =
        xcb_query_pointer_reply(c, xcb_query_pointer(c, X11::root(c)), nullptr);
    if (!reply)
        return std::nullopt;
    const bool held = reply->mask & (XCB_BUTTON_MASK_1 | XCB_BUTTON_MASK_2 | XCB_BUTTON_MASK_3);
    std::free(reply);
    return held;
}

} // namespace WindowHints

#include "WindowHints.h"

#include "X11.h"

#include <QRegion>
#include <QWindow>

#include <algorithm>
#include <vector>

namespace WindowHints {

using X11::atom;

namespace {

// The window's states as they are, then ours that it lacks. Qt keeps them when it maps the
// window: it merges its own states into the property.
void addStates(xcb_connection_t* c, xcb_window_t id, std::initializer_list<const char*> names) {
    const xcb_atom_t property = atom(c, "_NET_WM_STATE");
    std::vector<xcb_atom_t> states;
    if (xcb_get_property_reply_t* reply = xcb_get_property_reply(
            c, xcb_get_property(c, 0, id, property, XCB_ATOM_ATOM, 0, 64), nullptr)) {
        const auto* had = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
        states.assign(had, had + xcb_get_property_value_length(reply) / int(sizeof(xcb_atom_t)));
        std::free(reply);
    }
    for (const char* name : names)
        if (const xcb_atom_t a = atom(c, name);
            std::find(states.begin(), states.end(), a) == states.end())
            states.push_back(a);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, property, XCB_ATOM_ATOM, 32,
                        uint32_t(states.size()), states.data());
}

constexpr uint32_t kAllDesktops = 0xFFFFFFFF;

} // namespace

void keepOutOfTaskbars(QWindow* window) {
    xcb_connection_t* c = X11::connection();
    if (!c || !window)
        return;
    addStates(c, xcb_window_t(window->winId()),
              {"_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"});
    xcb_flush(c);
}

void makeDesktopCard(QWindow* window) {
    xcb_connection_t* c = X11::connection();
    if (!c || !window)
        return;
    const xcb_window_t id = xcb_window_t(window->winId());
    addStates(c, id,
              {"_NET_WM_STATE_STICKY", "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"});
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, atom(c, "_NET_WM_DESKTOP"), XCB_ATOM_CARDINAL,
                        32, 1, &kAllDesktops);
    xcb_flush(c);
}

void showOnAllDesktops(QWindow* window) {
    xcb_connection_t* c = X11::connection();
    if (!c || !window)
        return;
    xcb_client_message_event_t m{};
    m.response_type = XCB_CLIENT_MESSAGE;
    m.format = 32;
    m.window = xcb_window_t(window->winId());
    m.type = atom(c, "_NET_WM_DESKTOP");
    m.data.data32[0] = kAllDesktops;
    m.data.data32[1] = 2; // from a pager or the like: the user's own wish
    xcb_send_event(c, 0, X11::root(c),
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&m));
    xcb_flush(c);
}

bool offersBlur() {
    xcb_connection_t* c = X11::connection();
    if (!c)
        return false;
    // The window manager lists what it supports on the root window; KWin lists its blur there
    // while the effect is on.
    const xcb_atom_t blur = atom(c, "_KDE_NET_WM_BLUR_BEHIND_REGION");
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, X11::root(c), atom(c, "_NET_SUPPORTED"), XCB_ATOM_ATOM, 0, 4096),
        nullptr);
    bool found = false;
    if (reply) {
        const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
        const int n = xcb_get_property_value_length(reply) / int(sizeof(xcb_atom_t));
        found = std::find(atoms, atoms + n, blur) != atoms + n;
        std::free(reply);
    }
    return found;
}

void blurBehind(QWindow* window, const QRegion& area) {
    xcb_connection_t* c = X11::connection();
    if (!c || !window)
        return;
    const xcb_window_t id = xcb_window_t(window->winId());
    const xcb_atom_t property = atom(c, "_KDE_NET_WM_BLUR_BEHIND_REGION");
    // x, y, width, height of each rectangle (an empty list would blur the whole window).
    std::vector<uint32_t> rects;
    for (const QRect& r : area)
        rects.insert(rects.end(),
                     {uint32_t(r.x()), uint32_t(r.y()), uint32_t(r.width()), uint32_t(r.height())});
    if (rects.empty())
        xcb_delete_property(c, id, property);
    else
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, property, XCB_ATOM_CARDINAL, 32,
                            uint32_t(rects.size()), rects.data());
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

/* A person's input on KWin's Wayland session, through its fake-input protocol (KWin must run
 * with KWIN_WAYLAND_NO_PERMISSION_CHECKS=1):
 *   kwin-input click X Y [BUTTON]      a click at X, Y (1 left, 2 middle, 3 right)
 *   kwin-input double X Y              a double click
 *   kwin-input tap X Y TO_X TO_Y       a press and release a few milliseconds apart, then on
 *   kwin-input move X Y
 *   kwin-input key CODE                a key, by its evdev code (1: Escape) */
#include "fake-input-client-protocol.h" /* made by wayland-scanner */

#include <linux/input-event-codes.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static struct org_kde_kwin_fake_input* input;

static void global(void* data, struct wl_registry* r, uint32_t name, const char* iface,
                   uint32_t version) {
    (void)data;
    if (strcmp(iface, org_kde_kwin_fake_input_interface.name) == 0)
        input = wl_registry_bind(r, name, &org_kde_kwin_fake_input_interface, version < 4 ? version : 4);
}
static void global_remove(void* data, struct wl_registry* r, uint32_t name) {
    (void)data, (void)r, (void)name;
}
static const struct wl_registry_listener listener = {global, global_remove};

static struct wl_display* display;

static void move(int x, int y) {
    org_kde_kwin_fake_input_pointer_motion_absolute(input, wl_fixed_from_int(x), wl_fixed_from_int(y));
    wl_display_roundtrip(display);
}

static void press(uint32_t button, int held_ms) {
    org_kde_kwin_fake_input_button(input, button, 1);
    wl_display_roundtrip(display);
    usleep(held_ms * 1000);
    org_kde_kwin_fake_input_button(input, button, 0);
    wl_display_roundtrip(display);
}

int main(int argc, char** argv) {
    if (argc < 3)
        return 2;
    display = wl_display_connect(NULL);
    if (!display)
        return 1;
    struct wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &listener, NULL);
    wl_display_roundtrip(display);
    if (!input)
        return 1;
    org_kde_kwin_fake_input_authenticate(input, "matrix", "the desktop matrix clicks");
    const char* what = argv[1];
    if (strcmp(what, "key") == 0) {
        org_kde_kwin_fake_input_keyboard_key(input, (uint32_t)atoi(argv[2]), 1);
        wl_display_roundtrip(display);
        usleep(30000);
        org_kde_kwin_fake_input_keyboard_key(input, (uint32_t)atoi(argv[2]), 0);
        wl_display_roundtrip(display);
    } else if (argc >= 4) {
        move(atoi(argv[2]), atoi(argv[3]));
        usleep(100000);
        if (strcmp(what, "click") == 0) {
            const int b = argc > 4 ? atoi(argv[4]) : 1;
            press(b == 3 ? BTN_RIGHT : b == 2 ? BTN_MIDDLE : BTN_LEFT, 50);
        } else if (strcmp(what, "double") == 0) {
            press(BTN_LEFT, 30);
            usleep(80000);
            press(BTN_LEFT, 30);
        } else if (strcmp(what, "tap") == 0 && argc >= 6) {
            press(BTN_LEFT, 3);
            move(atoi(argv[4]), atoi(argv[5]));
        }
    }
    wl_display_disconnect(display);
    return 0;
}

/* A click on a Wayland compositor that offers wlroots' virtual pointer (sway), as a person
 * makes it: click X Y WIDTH HEIGHT [BUTTON], in the output's pixels. */
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h" /* made by wayland-scanner */

#include <linux/input-event-codes.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

static struct zwlr_virtual_pointer_manager_v1* manager;

static void global(void* data, struct wl_registry* r, uint32_t name, const char* iface,
                   uint32_t version) {
    (void)data;
    (void)version;
    if (strcmp(iface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
        manager = wl_registry_bind(r, name, &zwlr_virtual_pointer_manager_v1_interface, 1);
}
static void global_remove(void* data, struct wl_registry* r, uint32_t name) {
    (void)data, (void)r, (void)name;
}
static const struct wl_registry_listener listener = {global, global_remove};

static uint32_t now(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (uint32_t)(t.tv_sec * 1000 + t.tv_nsec / 1000000);
}

int main(int argc, char** argv) {
    if (argc < 5)
        return 2;
    struct wl_display* display = wl_display_connect(NULL);
    if (!display)
        return 1;
    struct wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &listener, NULL);
    wl_display_roundtrip(display);
    if (!manager)
        return 1;
    struct zwlr_virtual_pointer_v1* p = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(manager, NULL);
    const uint32_t button = argc > 5 && atoi(argv[5]) == 3 ? BTN_RIGHT : BTN_LEFT;
    zwlr_virtual_pointer_v1_motion_absolute(p, now(), atoi(argv[1]), atoi(argv[2]), atoi(argv[3]), atoi(argv[4]));
    zwlr_virtual_pointer_v1_frame(p);
    wl_display_roundtrip(display);
    usleep(100000);
    zwlr_virtual_pointer_v1_button(p, now(), button, 1);
    zwlr_virtual_pointer_v1_frame(p);
    wl_display_roundtrip(display);
    usleep(50000);
    zwlr_virtual_pointer_v1_button(p, now(), button, 0);
    zwlr_virtual_pointer_v1_frame(p);
    wl_display_roundtrip(display);
    wl_display_disconnect(display);
    return 0;
}

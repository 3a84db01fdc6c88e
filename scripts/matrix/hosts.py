"""The real desktops of the matrix, each run headless in a Session of its own: what it is made
of, how to take its picture, click on it, and find where things are on it."""

import json
import re
import shutil
import subprocess
import time
import subprocess
from pathlib import Path

from session import ROOT, Session, until

SCREEN = (1280, 800)
PANEL_XML = Path(__file__).with_name("xfce4-panel.xml")
CLICK_JS = """(function (x, y, button) {
    const { Clutter, GLib } = imports.gi;
    if (!global._bwPointer)
        global._bwPointer = Clutter.get_default_backend().get_default_seat()
            .create_virtual_device(Clutter.InputDeviceType.POINTER_DEVICE);
    const d = global._bwPointer;
    d.notify_absolute_motion(GLib.get_monotonic_time(), x, y);
    d.notify_button(GLib.get_monotonic_time(), button, Clutter.ButtonState.PRESSED);
    d.notify_button(GLib.get_monotonic_time(), button, Clutter.ButtonState.RELEASED);
    return 'clicked';
})(%d, %d, %d)"""


MOVE_JS = CLICK_JS.split("\n    d.notify_button")[0] + "\n    return 'moved';\n})(%d, %d)"


def free_display():
    n = 420
    while Path(f"/tmp/.X{n}-lock").exists() or Path(f"/tmp/.X11-unix/X{n}").exists():
        n += 1
    return f":{n}"


class Host:
    """What every host offers the matrix."""

    name = "?"
    has_tray = True
    services = ["org.a11y.Bus"]
    # A single left click on the item opens its menu (GNOME's AppIndicator host) rather than
    # the panel; a double or middle click opens the panel there.
    click_opens_menu = False
    # Whether the desktop tells the app how its panel looks: where it does not, the ring is
    # outlined, its track and edges in between, readable on any panel but not at its best.
    panel_look_known = True
    screen = SCREEN

    def __init__(self, brimwatch):
        self.session = Session(brimwatch, self.services, system_bus=self.wants_system_bus())
        self.display = None

    def wants_system_bus(self):
        return False

    def app_env(self):
        return {"DISPLAY": self.display, "XDG_CURRENT_DESKTOP": self.desktop}

    def launch(self):
        return self.session.launch_app(self.app_env())

    def run(self, argv, timeout=20):
        return self.session.run(argv, env=self.app_env(), timeout=timeout)

    # Windows: (x, y, width, height) of a mapped window whose title matches, or None.
    def window(self, title):
        found = self.run(["xdotool", "search", "--onlyvisible", "--name", f"^{title}$"]).split()
        if not found:
            return None
        shell = self.run(["xdotool", "getwindowgeometry", "--shell", found[-1]])
        g = dict(line.split("=", 1) for line in shell.split() if "=" in line)
        return tuple(int(g[k]) for k in ("X", "Y", "WIDTH", "HEIGHT")) if g else None

    def stop(self):
        self.session.close()

    def double_click(self, x, y):
        self.click(x, y)
        self.click(x, y)

    def rest(self):
        """The pointer away from what a picture measures: a panel brightens a hovered icon."""

    # What the host can be asked; None where it cannot tell.
    def menu_open(self):
        """Whether a menu of the item shows."""
        return None

    def popups(self):
        """How many notification bubbles show as popups now; None without a notification
        service."""
        return None

    def bubbles(self):
        """How many of the app's notifications the desktop holds."""
        return self.popups()

    def set_look(self, dark):
        """Light or dark, as the person switches it in the desktop's settings; False where the
        host has no such switch."""
        return False


class X11Host(Host):
    """Xvfb with a window manager, and whatever panel the host adds."""

    wm = True

    def start(self):
        self.display = free_display()
        self.session.start(["Xvfb", self.display, "-screen", "0", f"{self.screen[0]}x{self.screen[1]}x24",
                            "-nolisten", "tcp", "-noreset"])
        if not until(lambda: Path(f"/tmp/.X11-unix/X{self.display[1:]}").exists(), 10):
            raise RuntimeError("Xvfb did not start")
        until(lambda: "1280" in self.run(["xdotool", "getdisplaygeometry"]), 10)
        # Services the bus starts from now on (the notification daemon) find the display.
        self.run(["gdbus", "call", "--session", "--dest", "org.freedesktop.DBus", "--object-path",
                  "/org/freedesktop/DBus", "--method",
                  "org.freedesktop.DBus.UpdateActivationEnvironment",
                  "{'DISPLAY': '%s'}" % self.display])
        if self.wm:
            self.session.start(["xfwm4", "--compositor=on"], env={"DISPLAY": self.display})
            until(lambda: "_NET_WORKAREA" in self.run(["xprop", "-root", "_NET_WORKAREA"])
                  and "not found" not in self.run(["xprop", "-root", "_NET_WORKAREA"]), 10)
        self.start_panel()

    def start_panel(self):
        pass

    def screenshot(self, path):
        self.run(["import", "-window", "root", str(path)])

    def click(self, x, y, button=1):
        self.run(["xdotool", "mousemove", str(x), str(y), "click", str(button)])

    def double_click(self, x, y):
        self.run(["xdotool", "mousemove", str(x), str(y), "click", "--repeat", "2", "--delay",
                  "90", "1"])

    def rest(self):
        self.run(["xdotool", "mousemove", str(self.screen[0] // 2), str(self.screen[1] // 2)])

    def key(self, name):
        self.run(["xdotool", "key", name])

    def states(self, title):
        """The _NET_WM_STATE of the mapped window of this title."""
        found = self.run(["xdotool", "search", "--onlyvisible", "--name", f"^{title}$"]).split()
        return self.run(["xprop", "-id", found[-1], "_NET_WM_STATE"]) if found else ""

    def tap(self, x, y):
        """A touchpad's tap: press and release within a few milliseconds, then the pointer
        goes on its way."""
        self.run(["xdotool", "mousemove", str(x), str(y), "mousedown", "1", "mouseup", "1",
                  "mousemove", str(x - 200), str(y + 150)])

    def windows_of_type(self, kind):
        """How many mapped top-level windows of a _NET_WM_WINDOW_TYPE (POPUP_MENU, ...) show."""
        # Every mapped window, whether a window manager framed it (KWin) or not (a menu).
        script = ("for w in $(xdotool search --onlyvisible --name ''); do "
                  "xprop -id $w _NET_WM_WINDOW_TYPE; done 2>/dev/null")
        return self.run(["sh", "-c", script]).count(f"_NET_WM_WINDOW_TYPE_{kind}")

    def menu_open(self):
        return self.windows_of_type("POPUP_MENU") + self.windows_of_type("DROPDOWN_MENU") > 0

    def popups(self):
        return self.windows_of_type("NOTIFICATION")

    def work_area(self):
        out = self.run(["xprop", "-root", "_NET_WORKAREA"])
        numbers = [int(n) for n in re.findall(r"\d+", out.split("=", 1)[-1])][:4]
        return tuple(numbers) if len(numbers) == 4 else (0, 0, *self.screen)

    def notices(self):
        """How many bubbles of any kind are on screen."""
        return self.popups()


class Xfce(X11Host):
    """xfce4-panel with its tray, xfwm4, xfconfd and xfce4-notifyd; light or dark."""

    services = ["org.a11y.Bus", "org.xfce.Xfconf", "org.xfce.xfce4-notifyd.Notifications"]
    desktop = "XFCE"

    def __init__(self, brimwatch, dark):
        super().__init__(brimwatch)
        self.dark = dark
        self.name = "xfce-dark" if dark else "xfce-light"
        if dark:
            self.screen = (1024, 600)  # and a small laptop's screen, where the panel scrolls

    def start_panel(self):
        conf = self.session.home / ".config/xfce4/xfconf/xfce-perchannel-xml"
        conf.mkdir(parents=True, exist_ok=True)
        xml = PANEL_XML.read_text().replace("@DARK@", str(self.dark).lower())
        (conf / "xfce4-panel.xml").write_text(xml)
        self.xsettings = self.session.dir / "xsettingsd.conf"
        self.xsettings.write_text('Net/ThemeName "%s"\n' % ("Adwaita-dark" if self.dark else "Adwaita"))
        self.session.start(["xsettingsd", "-c", str(self.xsettings)], env={"DISPLAY": self.display})
        self.session.start(["xfce4-panel", "--disable-wm-check"], env={"DISPLAY": self.display})
        # The panel keeps its room once the window manager has it: the work area moves down.
        until(lambda: self.work_area()[1] > 0, 15)

    def set_panel_look(self, dark):
        """The panel's dark mode, as the person switches it in the panel's settings (xfconf)."""
        self.dark = dark
        self.run(["xfconf-query", "-c", "xfce4-panel", "-p", "/panels/dark-mode", "-s",
                  str(dark).lower()])

    def set_look(self, dark):
        """The GTK theme, as the person switches it in XFCE's appearance settings (XSETTINGS);
        the panel's dark mode with it."""
        self.set_panel_look(dark)
        self.xsettings.write_text('Net/ThemeName "%s"\n' % ("Adwaita-dark" if dark else "Adwaita"))
        self.run(["pkill", "-HUP", "-f", f"xsettingsd -c {self.xsettings}"])
        return True

    def icon_box(self, shot):
        # The tray is the panel's last plugin: our item is the rightmost shape in its strip.
        return rightmost_shape(shot, (0, 0, self.screen[0], 30))


class Trayer(X11Host):
    """trayer, an XEmbed tray with nothing else in it."""

    name = "trayer"
    desktop = ""
    xembed = True
    panel_look_known = False

    def start_panel(self):
        self.session.start(["trayer", "--edge", "top", "--align", "right", "--widthtype",
                            "request", "--height", "24", "--SetDockType", "true",
                            "--SetPartialStrut", "true", "--transparent", "false",
                            "--tint", "0x303030"], env={"DISPLAY": self.display})
        until(lambda: self.work_area()[1] > 0, 10)

    def icon_box(self, shot):
        return rightmost_shape(shot, (0, 0, self.screen[0], 24))

    def menu_open(self):
        # Qt's XEmbed icon shows its own menu, which Qt gives no menu type: a window of the
        # app's that no window manager manages.
        found = self.run(["xdotool", "search", "--onlyvisible", "--classname", "brimwatch"])
        return any("Override Redirect State: yes" in self.run(["xwininfo", "-id", w])
                   for w in found.split())

    def popups(self):
        return None  # no notification service on this desktop


class Kde(X11Host):
    """KDE Plasma 5.27 on X11: kwin_x11, kded5 (its StatusNotifierWatcher) and plasmashell with
    its default bottom panel; Breeze, or Breeze Twilight (a dark panel over light windows)."""

    services = ["org.a11y.Bus", "ca.desrt.dconf", "org.kde.kded5", "org.kde.kcookiejar5",
                "org.kde.kiod5", "org.kde.kglobalaccel", "org.kde.plasma.Notifications"]
    desktop = "KDE"
    wm = False

    def wants_system_bus(self):
        return True

    def __init__(self, brimwatch, twilight):
        super().__init__(brimwatch)
        self.twilight = twilight
        self.name = "kde-twilight" if twilight else "kde"

    def app_env(self):
        return dict(super().app_env(), KDE_FULL_SESSION="true")

    def start_panel(self):
        env = {"DISPLAY": self.display, "KDE_FULL_SESSION": "true", "XDG_CURRENT_DESKTOP": "KDE"}
        if self.twilight:
            config = self.session.home / ".config"
            config.mkdir(parents=True, exist_ok=True)
            (config / "plasmarc").write_text("[Theme]\nname=breeze-dark\n")
        self.session.start(["kwin_x11", "--replace"], env=env)
        self.start_plasma(env)

    def start_plasma(self, env):
        self.session.start(["kded5"], env=env)
        # The tray's watcher is a module of kded, loaded when asked for, once kded answers
        # (it first runs its configuration updates, which take a while).
        until(lambda: "true" in self.run(
            ["gdbus", "call", "--session", "--dest", "org.kde.kded5", "--object-path", "/kded",
             "--method", "org.kde.kded5.loadModule", "statusnotifierwatcher"], timeout=30), 90, 1)
        self.session.start(["/usr/lib/x86_64-linux-gnu/libexec/kactivitymanagerd"], env=env)
        self.session.start(["plasmashell", "--no-respawn"], env=env)
        # Plasma's panel keeps its room at the bottom; the tray is in it.
        until(lambda: self.work_area()[3] < self.screen[1], 60, 0.5)
        until(lambda: "org.kde.StatusNotifierWatcher" in self.run(
            ["gdbus", "call", "--session", "--dest", "org.freedesktop.DBus", "--object-path",
             "/org/freedesktop/DBus", "--method", "org.freedesktop.DBus.ListNames"]), 30)
        time.sleep(3)  # the panel draws its applets
        shot = self.session.dir / "tray.png"
        self.screenshot(shot)
        self.tray_shapes = len(self.tray(shot))

    def tray(self, shot):
        x, y, w, h = self.work_area()
        return shapes(shot, (self.screen[0] - 260, y + h, 200, self.screen[1] - (y + h)))

    def icon_box(self, shot):
        # The system tray sits at the panel's right end, before the clock: our item, the only
        # application's, is its first icon, once the tray has one more than it had.
        found = self.tray(shot)
        return found[0] if len(found) > self.tray_shapes else None

    def set_look(self, dark):
        """Breeze Dark or Breeze, the panel's style and the applications' colours, as the
        person picks them in System Settings."""
        self.run(["plasma-apply-desktoptheme", "breeze-dark" if dark else "default"], timeout=60)
        self.run(["plasma-apply-colorscheme", "BreezeDark" if dark else "BreezeLight"],
                 timeout=60)
        return True

    def desktops(self, n):
        """Makes n virtual desktops; then each can be switched to."""
        self.run(["xdotool", "set_num_desktops", str(n)])

    def switch_desktop(self, i):
        self.run(["xdotool", "set_desktop", str(i)])


class KdeWayland(Kde):
    """KDE Plasma 5.27 in a Wayland session: kwin_wayland, headless, with XWayland, and
    plasmashell on Wayland. Brimwatch runs through XWayland there, as it chooses to, so X11's
    tools see its windows; the person's clicks and keys go through KWin's fake input."""

    name = "kde-wayland"

    def __init__(self, brimwatch):
        Host.__init__(self, brimwatch)
        self.twilight = False

    def app_env(self):
        return dict(super().app_env(), WAYLAND_DISPLAY=self.wayland)

    def start(self):
        s = self.session
        # A copy drops the file capability (cap_sys_resource) that a container may not grant.
        kwin = s.dir / "kwin_wayland"
        shutil.copy("/usr/bin/kwin_wayland", kwin)
        marker, started = s.dir / "xwayland-display", s.dir / "started.sh"
        started.write_text(f"#!/bin/sh\necho \"$DISPLAY\" > {marker}\nexec sleep 100000\n")
        started.chmod(0o755)
        self.wayland = "wayland-brimwatch"
        env = {"KWIN_WAYLAND_NO_PERMISSION_CHECKS": "1", "XDG_CURRENT_DESKTOP": "KDE",
               "KDE_FULL_SESSION": "true"}
        s.start([str(kwin), "--virtual", "--width", str(self.screen[0]), "--height",
                 str(self.screen[1]), "--xwayland", "--no-lockscreen", "--no-global-shortcuts",
                 "--socket", self.wayland, str(started)], env=env)
        # KWin starts what it is given once XWayland is up, with its display.
        self.display = until(lambda: marker.exists() and marker.read_text().strip(), 60)
        if not self.display:
            raise RuntimeError("kwin_wayland did not start")
        env.update(DISPLAY=self.display, WAYLAND_DISPLAY=self.wayland, QT_QPA_PLATFORM="wayland")
        self.start_plasma(env)
        pointer = Path(__file__).with_name("pointer")
        xml = "/usr/share/plasma-wayland-protocols/fake-input.xml"
        subprocess.run(["sh", "-c", f"cd {s.dir} && wayland-scanner client-header {xml} "
                        f"fake-input-client-protocol.h && wayland-scanner private-code {xml} "
                        f"fake-input.c && cc -o kwin-input {pointer}/kwin-input.c fake-input.c "
                        f"-I. -lwayland-client"], check=True)

    def input(self, *args):
        self.session.run([str(self.session.dir / "kwin-input"), *map(str, args)],
                         env={"WAYLAND_DISPLAY": self.wayland})

    def click(self, x, y, button=1):
        self.input("click", x, y, button)

    def double_click(self, x, y):
        self.input("double", x, y)

    def tap(self, x, y):
        self.input("tap", x, y, x - 200, y + 150)

    def rest(self):
        # Along the panel first: Plasma's panel unhovers an icon only on a move inside it.
        self.input("move", self.screen[0] // 2, self.screen[1] - 20)
        time.sleep(0.2)
        self.input("move", self.screen[0] // 2, self.screen[1] // 2)

    def key(self, name):
        self.input("key", {"Escape": 1}[name])

    def screenshot(self, path):
        self.session.run(["spectacle", "--background", "--nonotify", "--fullscreen", "--output",
                          str(Path(path).resolve())],
                         env={"WAYLAND_DISPLAY": self.wayland, "QT_QPA_PLATFORM": "wayland"},
                         timeout=30)

    def menu_open(self):
        return None  # Plasma's menus are Wayland windows, out of X11's sight

    def popups(self):
        return None  # and so are its bubbles


def shapes(shot, strip, background=None):
    """The boxes of the shapes that stand out from a strip's background (the colour at a
    point, by default low in the strip's middle), left to right."""
    from PIL import Image
    image = Image.open(shot).convert("RGB")
    x0, y0, w, h = strip
    bg = image.getpixel(background or (x0 + w // 2, y0 + h - 2))
    found, start, last = [], None, None
    for x in range(x0, x0 + w):
        if any(contrast(image.getpixel((x, y)), bg) > 1.5 for y in range(y0 + 2, y0 + h - 2)):
            if start is None or x - last > 4:
                if start is not None:
                    found.append((start, y0, last - start + 1, h))
                start = x
            last = x
    if start is not None:
        found.append((start, y0, last - start + 1, h))
    return found


def rightmost_shape(shot, strip):
    found = shapes(shot, strip)
    return found[-1] if found else None


def luminance(rgb):
    def lin(v):
        v /= 255
        return v / 12.92 if v <= 0.04045 else ((v + 0.055) / 1.055) ** 2.4
    r, g, b = rgb[:3]
    return 0.2126 * lin(r) + 0.7152 * lin(g) + 0.0722 * lin(b)


def contrast(a, b):
    la, lb = luminance(a), luminance(b)
    return (max(la, lb) + 0.05) / (min(la, lb) + 0.05)


class Sway(Host):
    """sway, headless, with Waybar: its tray and a custom module fed by `brimwatch --waybar
    --watch`. sway refuses to run as root: the whole session is nobody's. Brimwatch runs through
    XWayland, as it does by default, or natively on Wayland."""

    services = ["org.a11y.Bus"]
    desktop = "sway"
    panel_look_known = False

    def __init__(self, brimwatch, native):
        self.native = native
        self.name = "waybar-native" if native else "waybar"
        self.session = Session(brimwatch, self.services, owner=(65534, 65534))
        self.display = None

    def app_env(self):
        env = {"WAYLAND_DISPLAY": self.wayland, "SWAYSOCK": self.sock,
               "XDG_CURRENT_DESKTOP": "sway", "DISPLAY": self.display or ""}
        # The app chooses Wayland on sway by itself; XWayland only when told.
        if not self.native:
            env["QT_QPA_PLATFORM"] = "xcb"
        return env

    def start(self):
        s = self.session
        (s.dir / "sway.conf").write_text(f"output HEADLESS-1 resolution {self.screen[0]}x{self.screen[1]}\n"
                                         "default_border none\nxwayland enable\n")
        waybar = {"layer": "top", "position": "top", "height": 26,
                  "modules-left": ["custom/claude"], "modules-right": ["tray"],
                  "custom/claude": {"exec": f"{s.brimwatch} --waybar --watch",
                                    "return-type": "json", "format": "◔ {}"},
                  "tray": {"icon-size": 18, "spacing": 6}}
        (s.dir / "waybar.json").write_text(json.dumps(waybar))
        for f in ("sway.conf", "waybar.json"):
            (s.dir / f).chmod(0o644)
        s.start(["sway", "-c", str(s.dir / "sway.conf")],
                env={"WLR_BACKENDS": "headless", "WLR_LIBINPUT_NO_DEVICES": "1",
                     "WLR_RENDERER": "pixman"})
        found = until(lambda: sorted(s.runtime.glob("sway-ipc.*.sock")), 20)
        if not found:
            raise RuntimeError("sway did not start")
        self.sock = str(found[0])
        self.wayland = until(lambda: next((p.name for p in sorted(s.runtime.glob("wayland-*"))
                                           if not p.name.endswith(".lock")), None), 10)
        # XWayland's display, as sway gives it to what it starts.
        self.swaymsg("exec", f"echo $DISPLAY > {s.dir}/display")
        self.display = until(lambda: (s.dir / "display").exists() and
                             (s.dir / "display").read_text().strip(), 10)
        s.start(["waybar", "-c", str(s.dir / "waybar.json")], env={"WAYLAND_DISPLAY": self.wayland})
        pointer = Path(__file__).with_name("pointer")
        subprocess.run(["sh", "-c", f"cd {s.dir} && wayland-scanner client-header "
                        f"{pointer}/wlr-virtual-pointer-unstable-v1.xml wvp.h && wayland-scanner "
                        f"private-code {pointer}/wlr-virtual-pointer-unstable-v1.xml wvp.c && "
                        f"sed 's/wlr-virtual-pointer-unstable-v1-client-protocol.h/wvp.h/' "
                        f"{pointer}/click.c > click.c && cc -o click click.c wvp.c -I. "
                        f"-lwayland-client && chmod 755 click"], check=True)
        until(lambda: "StatusNotifierWatcher" in self.run(
            ["gdbus", "call", "--session", "--dest", "org.freedesktop.DBus", "--object-path",
             "/org/freedesktop/DBus", "--method", "org.freedesktop.DBus.ListNames"]), 20)

    def swaymsg(self, *args):
        return self.session.run(["swaymsg", "-s", self.sock, *args])

    def screenshot(self, path):
        shot = self.session.dir / "shot.png"
        self.session.run(["grim", str(shot)], env={"WAYLAND_DISPLAY": self.wayland})
        shutil.copy(shot, path)

    def click(self, x, y, button=1):
        self.session.run([str(self.session.dir / "click"), str(x), str(y), str(self.screen[0]),
                          str(self.screen[1]), str(button)], env={"WAYLAND_DISPLAY": self.wayland})

    def key(self, name):
        # wtype's virtual keyboard does not reach XWayland's windows; XTEST does.
        if self.native:
            self.session.run(["wtype", "-k", name], env={"WAYLAND_DISPLAY": self.wayland})
        else:
            self.session.run(["xdotool", "key", name], env={"DISPLAY": self.display})

    def icon_box(self, shot):
        # The tray is the bar's last module, in a colour of its own up to the screen's edge.
        found = shapes(shot, (self.screen[0] - 120, 0, 120, 26), background=(self.screen[0] - 1, 1))
        return found[-1] if found else None

    def window(self, title):
        def find(node):
            if node.get("name") == title and node.get("visible"):
                r = node["rect"]
                return (r["x"], r["y"], r["width"], r["height"])
            for child in node.get("nodes", []) + node.get("floating_nodes", []):
                got = find(child)
                if got:
                    return got
            return None
        try:
            return find(json.loads(self.swaymsg("-t", "get_tree")))
        except ValueError:
            return None

    def work_area(self):
        try:
            for w in json.loads(self.swaymsg("-t", "get_workspaces")):
                if w.get("focused"):
                    r = w["rect"]
                    return (r["x"], r["y"], r["width"], r["height"])
        except ValueError:
            pass
        return (0, 0, *self.screen)

    def popups(self):
        return None  # no notification service on this desktop

    def module_class(self):
        """The class Waybar's module gets now, as `brimwatch --waybar` gives it."""
        try:
            return json.loads(self.session.run([self.session.brimwatch, "--waybar"]))["class"]
        except (ValueError, KeyError):
            return None


class Gnome(Host):
    """GNOME Shell 43, headless on Wayland with XWayland, with the AppIndicator extension (or,
    as "no tray", without it)."""

    click_opens_menu = True

    # The portal tells the app of light and dark; GTK's backend reads GNOME's own setting.
    services = ["org.a11y.Bus", "ca.desrt.dconf", "org.gnome.Shell.Notifications",
                "org.freedesktop.portal.Desktop", "org.freedesktop.impl.portal.desktop.gtk",
                "org.freedesktop.impl.portal.PermissionStore"]
    desktop = "GNOME"

    def __init__(self, brimwatch, tray=True):
        super().__init__(brimwatch)
        self.has_tray = tray
        self.name = "gnome" if tray else "no-tray"
        self.xauthority = None

    def wants_system_bus(self):
        return True  # GNOME Shell dies without one

    def app_env(self):
        return {"DISPLAY": self.display, "XAUTHORITY": self.xauthority or "",
                "XDG_CURRENT_DESKTOP": "GNOME", "WAYLAND_DISPLAY": self.wayland}

    def start(self):
        s = self.session
        extensions = "['ubuntu-appindicators@ubuntu.com']" if self.has_tray else "[]"
        s.run(["gsettings", "set", "org.gnome.shell", "enabled-extensions", extensions])
        s.run(["gsettings", "set", "org.gnome.shell", "welcome-dialog-last-shown-version",
               "'99.0'"])
        s.start(["gnome-shell", "--headless", "--virtual-monitor",
                 f"{self.screen[0]}x{self.screen[1]}", "--wayland", "--unsafe-mode"])
        if not until(lambda: self.eval("Main.layoutManager.primaryMonitor ? 'up' : ''") == "up",
                     60, 0.5):
            raise RuntimeError("GNOME Shell did not start")
        where = "['DISPLAY', 'XAUTHORITY', 'WAYLAND_DISPLAY'].map(v => imports.gi.GLib.getenv(v))"
        until(lambda: self.eval(f"{where}.join(' ')").count(":") > 0, 30)
        self.display, self.xauthority, self.wayland = self.eval(f"{where}.join(' ')").split(" ")
        # Services the bus starts from now on (the portal's backend) find the displays.
        self.run(["gdbus", "call", "--session", "--dest", "org.freedesktop.DBus", "--object-path",
                  "/org/freedesktop/DBus", "--method",
                  "org.freedesktop.DBus.UpdateActivationEnvironment",
                  "{'DISPLAY': '%s', 'WAYLAND_DISPLAY': '%s', 'XAUTHORITY': '%s', "
                  "'XDG_CURRENT_DESKTOP': 'GNOME'}" % (self.display, self.wayland, self.xauthority)])
        self.hide_overview()
        self.clear_banners()
        # A new virtual device drops its first event: spend it on nothing that counts.
        self.key("Shift_L")
        self.eval(MOVE_JS % (self.screen[0] // 2, self.screen[1] - 100))

    def eval(self, js):
        out = self.session.run(["gdbus", "call", "--session", "--dest", "org.gnome.Shell",
                                "--object-path", "/org/gnome/Shell", "--method",
                                "org.gnome.Shell.Eval", js])
        m = re.match(r"\((true|false), '(.*)'\)\s*$", out.strip(), re.S)
        if not m or m.group(1) != "true":
            return ""
        try:
            value = json.loads(m.group(2).encode().decode("unicode_escape"))
        except json.JSONDecodeError:
            return m.group(2)
        return value if isinstance(value, str) else json.dumps(value)

    def clear_banners(self):
        self.eval("Main.messageTray.getSources().filter(s => s.title != 'Brimwatch')"
                  ".forEach(s => s.destroy()); 'ok'")

    def screenshot(self, path):
        self.session.run(["gdbus", "call", "--session", "--dest", "org.gnome.Shell.Screenshot",
                          "--object-path", "/org/gnome/Shell/Screenshot", "--method",
                          "org.gnome.Shell.Screenshot.Screenshot", "false", "false",
                          str(Path(path).resolve())])

    def hide_overview(self):
        # The overview now and then opens of itself (a pointer in the hot corner) and covers
        # every window: it goes before each click, not only at the start.
        if self.eval("Main.overview.visible ? 'shown' : ''") == "shown":
            self.eval("Main.overview.hide(); 'ok'")
            until(lambda: self.eval("Main.overview.visible ? '' : 'hidden'") == "hidden", 10)

    def click(self, x, y, button=1):
        self.hide_overview()
        self.eval(CLICK_JS % (x, y, button))

    def key(self, name):
        keyvals = {"Escape": 0xff1b, "Shift_L": 0xffe1}
        self.eval("(function (k) { const { Clutter, GLib } = imports.gi;"
                  " if (!global._bwKeys) global._bwKeys = Clutter.get_default_backend()"
                  ".get_default_seat().create_virtual_device("
                  "Clutter.InputDeviceType.KEYBOARD_DEVICE);"
                  " global._bwKeys.notify_keyval(GLib.get_monotonic_time(), k,"
                  " Clutter.KeyState.PRESSED); global._bwKeys.notify_keyval("
                  "GLib.get_monotonic_time(), k, Clutter.KeyState.RELEASED); return 'ok'; })"
                  f"({keyvals[name]})")

    def icon_box(self, shot):
        out = self.eval("(function () { const a = Object.entries(Main.panel.statusArea)"
                        ".filter(([k]) => k.includes('StatusNotifierItem')).map(e => e[1])[0];"
                        " if (!a) return ''; const i = a._icon || a;"
                        " const [x, y] = i.get_transformed_position();"
                        " const [w, h] = i.get_transformed_size();"
                        " return [x, y, w, h].map(Math.round).join(' '); })()")
        return tuple(int(v) for v in out.split()) if out else None

    def window(self, title):
        out = self.eval("(function () { const w = global.get_window_actors().map(a => "
                        "a.meta_window).filter(w => w.title == %s && w.showing_on_its_workspace()"
                        ")[0]; if (!w) return ''; const r = w.get_frame_rect();"
                        " return [r.x, r.y, r.width, r.height].join(' '); })()"
                        % json.dumps(title))
        return tuple(int(v) for v in out.split()) if out else None

    def work_area(self):
        out = self.eval("(function () { const r = Main.layoutManager.getWorkAreaForMonitor(0);"
                        " return [r.x, r.y, r.width, r.height].join(' '); })()")
        return tuple(int(v) for v in out.split()) if out else (0, 0, *self.screen)

    def double_click(self, x, y):
        # Both clicks in one go, as quick as a person's: the extension counts them by their
        # times.
        self.hide_overview()
        press = "d.notify_button(GLib.get_monotonic_time(), button, Clutter.ButtonState.PRESSED);"
        release = press.replace("PRESSED", "RELEASED")
        self.eval(CLICK_JS.replace(press + "\n    " + release, (press + release) * 2) % (x, y, 1))

    def menu_open(self):
        return self.eval("Main.panel.menuManager.activeMenu ? 'open' : 'none'") == "open"

    def rest(self):
        self.eval(MOVE_JS % (self.screen[0] // 2, self.screen[1] // 2))

    def popups(self):
        # A banner hides only while the person is active: the pointer moves a little.
        self.eval(MOVE_JS % (self.screen[0] // 2 + int(time.monotonic() * 10) % 20, self.screen[1] - 100))
        return 1 if self.eval("Main.messageTray._banner ? 'shown' : ''") == "shown" else 0

    def set_look(self, dark):
        self.run(["gsettings", "set", "org.gnome.desktop.interface", "color-scheme",
                  "prefer-dark" if dark else "prefer-light"])
        return True

    def notices(self):
        return int(self.eval("String(Main.messageTray.getSources().filter(s => s.title == "
                             "'Brimwatch').reduce((n, s) => n + s.notifications.length, 0))") or 0)

    def bubbles(self):
        # The limits' bubbles; the notice that there is no tray is not one of them.
        out = self.eval("String(Main.messageTray.getSources().filter(s => s.title == 'Brimwatch')"
                        ".reduce((n, s) => n + s.notifications.filter(b => "
                        "b.title.startsWith('Claude')).length, 0))")
        return int(out or 0)


def all_hosts():
    return ["gnome", "xfce-light", "xfce-dark", "no-tray", "trayer"]


def make(name, brimwatch):
    if name == "gnome":
        return Gnome(brimwatch, tray=True)
    if name == "no-tray":
        return Gnome(brimwatch, tray=False)
    if name in ("xfce-light", "xfce-dark"):
        return Xfce(brimwatch, dark=name.endswith("dark"))
    if name == "trayer":
        return Trayer(brimwatch)
    if name in ("waybar", "waybar-native"):
        return Sway(brimwatch, native=name.endswith("native"))
    if name in ("kde", "kde-twilight"):
        return Kde(brimwatch, twilight=name.endswith("twilight"))
    if name == "kde-wayland":
        return KdeWayland(brimwatch)
    raise ValueError(name)

"""The real desktops of the matrix, each run headless in a Session of its own: what it is made
of, how to take its picture, click on it, and find where things are on it."""

import json
import re
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


class X11Host(Host):
    """Xvfb with a window manager, and whatever panel the host adds."""

    wm = True

    def start(self):
        self.display = free_display()
        self.session.start(["Xvfb", self.display, "-screen", "0", f"{SCREEN[0]}x{SCREEN[1]}x24",
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

    def key(self, name):
        self.run(["xdotool", "key", name])

    def work_area(self):
        out = self.run(["xprop", "-root", "_NET_WORKAREA"])
        numbers = [int(n) for n in re.findall(r"\d+", out.split("=", 1)[-1])][:4]
        return tuple(numbers) if len(numbers) == 4 else (0, 0, *SCREEN)

    def notices(self):
        """How many bubbles of any kind are on screen."""
        return self.bubbles()

    def bubbles(self):
        """How many of the notification daemon's bubbles are on screen."""
        return len(self.run(["xdotool", "search", "--onlyvisible", "--class",
                             "xfce4-notifyd"]).split())


class Xfce(X11Host):
    """xfce4-panel with its tray, xfwm4, xfconfd and xfce4-notifyd; light or dark."""

    services = ["org.a11y.Bus", "org.xfce.Xfconf", "org.xfce.xfce4-notifyd.Notifications"]
    desktop = "XFCE"

    def __init__(self, brimwatch, dark):
        super().__init__(brimwatch)
        self.dark = dark
        self.name = "xfce-dark" if dark else "xfce-light"

    def start_panel(self):
        conf = self.session.home / ".config/xfce4/xfconf/xfce-perchannel-xml"
        conf.mkdir(parents=True, exist_ok=True)
        xml = PANEL_XML.read_text().replace("@DARK@", str(self.dark).lower())
        (conf / "xfce4-panel.xml").write_text(xml)
        self.session.start(["xfce4-panel", "--disable-wm-check"], env={"DISPLAY": self.display})
        # The panel keeps its room once the window manager has it: the work area moves down.
        until(lambda: self.work_area()[1] > 0, 15)

    def icon_box(self, shot):
        # The tray is the panel's last plugin: our item is the rightmost shape in its strip.
        return rightmost_shape(shot, (0, 0, SCREEN[0], 30))


class Trayer(X11Host):
    """trayer, an XEmbed tray with nothing else in it."""

    name = "trayer"
    desktop = ""

    def start_panel(self):
        self.session.start(["trayer", "--edge", "top", "--align", "right", "--widthtype",
                            "request", "--height", "24", "--SetDockType", "true",
                            "--SetPartialStrut", "true", "--transparent", "false",
                            "--tint", "0x303030"], env={"DISPLAY": self.display})
        until(lambda: self.work_area()[1] > 0, 10)

    def icon_box(self, shot):
        return rightmost_shape(shot, (0, 0, SCREEN[0], 24))

    def bubbles(self):
        return 0


def rightmost_shape(shot, strip):
    """The box of the rightmost shape that stands out from a strip's background."""
    from PIL import Image
    image = Image.open(shot).convert("RGB")
    x0, y0, w, h = strip
    bg = image.getpixel((x0 + w // 2, y0 + h - 2))
    cols = []
    for x in range(x0 + w - 1, x0, -1):
        if any(contrast(image.getpixel((x, y)), bg) > 1.5 for y in range(y0 + 2, y0 + h - 2)):
            cols.append(x)
        elif cols and cols[-1] - x > 4:
            break
    if not cols:
        return None
    left, right = min(cols), max(cols)
    return (left, y0, right - left + 1, h)


def luminance(rgb):
    def lin(v):
        v /= 255
        return v / 12.92 if v <= 0.04045 else ((v + 0.055) / 1.055) ** 2.4
    r, g, b = rgb[:3]
    return 0.2126 * lin(r) + 0.7152 * lin(g) + 0.0722 * lin(b)


def contrast(a, b):
    la, lb = luminance(a), luminance(b)
    return (max(la, lb) + 0.05) / (min(la, lb) + 0.05)


class Gnome(Host):
    """GNOME Shell 43, headless on Wayland with XWayland, with the AppIndicator extension (or,
    as "no tray", without it)."""

    services = ["org.a11y.Bus", "ca.desrt.dconf", "org.gnome.Shell.Notifications"]
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
                 f"{SCREEN[0]}x{SCREEN[1]}", "--wayland", "--unsafe-mode"])
        if not until(lambda: self.eval("Main.layoutManager.primaryMonitor ? 'up' : ''") == "up",
                     60, 0.5):
            raise RuntimeError("GNOME Shell did not start")
        where = "['DISPLAY', 'XAUTHORITY', 'WAYLAND_DISPLAY'].map(v => imports.gi.GLib.getenv(v))"
        until(lambda: self.eval(f"{where}.join(' ')").count(":") > 0, 30)
        self.display, self.xauthority, self.wayland = self.eval(f"{where}.join(' ')").split(" ")
        self.eval("Main.overview.hide(); 'ok'")
        until(lambda: self.eval("Main.overview.visible ? '' : 'hidden'") == "hidden", 10)
        self.clear_banners()
        # A new virtual device drops its first event: spend it on nothing that counts.
        self.key("Shift_L")
        self.eval(MOVE_JS % (SCREEN[0] // 2, SCREEN[1] - 100))

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

    def click(self, x, y, button=1):
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
        return tuple(int(v) for v in out.split()) if out else (0, 0, *SCREEN)

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
    raise ValueError(name)

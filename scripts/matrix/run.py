#!/usr/bin/python3
"""The desktop matrix: Brimwatch on real desktops, headless, driven as a person drives it, each
step photographed and checked. See scripts/desktop-matrix.sh."""

import argparse
import json
import subprocess
import sys
import time
import traceback
from datetime import datetime, timedelta, timezone
from pathlib import Path

import hosts
from hosts import contrast
from session import until

ATSPI = str(Path(__file__).with_name("atspi.py"))
PANEL, CARD = "Brimwatch panel", "Brimwatch card"


def reset_text(minutes):
    """A reset time of day, as the tool prints it, some minutes from now."""
    t = datetime.now(timezone.utc) + timedelta(minutes=minutes)
    return t.strftime("%-I:%M%p").lower()


class Run:
    def __init__(self, host, out):
        self.host, self.out, self.results, self.shots = host, out, [], []

    def check(self, what, ok, detail=""):
        self.results.append((self.host.name, what, bool(ok), detail))
        print(f"  {'ok  ' if ok else 'FAIL'} {what}" + (f": {detail}" if detail and not ok else ""),
              flush=True)
        return ok

    def shot(self, label):
        path = self.out / f"{self.host.name}-{len(self.shots) + 1:02d}-{label}.png"
        self.host.screenshot(path)
        until(lambda: path.exists() and path.stat().st_size > 0, 5)
        self.shots.append(path)
        return path

    # What the app last read, from the file it writes after every reading.
    def reading(self):
        path = self.host.session.home / ".local/share/Brimwatch/usage.json"
        try:
            data = json.loads(path.read_text())
            return data["limits"][0]["percent"], data["checkedAt"]
        except (OSError, ValueError, KeyError, IndexError):
            return None, None

    def item(self):
        pid = self.app.pid
        return f"org.kde.StatusNotifierItem-{pid}-1"

    def refresh(self):
        # What a host does when the person picks "Refresh now" in the item's menu.
        self.host.run(["gdbus", "call", "--session", "--dest", self.item(), "--object-path",
                       "/MenuBar", "--method", "com.canonical.dbusmenu.Event", "2", "clicked",
                       "<''>", "0"])

    def show_usage(self):
        # "Show usage" in the item's menu. GNOME's AppIndicator extension tells a click on the
        # ring from a double click by its own count, which a quick virtual click upsets: the
        # menu's entry is what a person there picks.
        self.host.run(["gdbus", "call", "--session", "--dest", self.item(), "--object-path",
                       "/MenuBar", "--method", "com.canonical.dbusmenu.Event", "1", "clicked",
                       "<''>", "0"])

    def read(self, percent, reset):
        self.host.session.set_reading(percent, reset)
        before = self.reading()[1]
        if before:
            self.refresh()
        ok = until(lambda: self.reading()[0] == percent and self.reading()[1] != before, 20)
        return self.check(f"reads {percent}%", ok, f"usage.json says {self.reading()}")

    def ring(self, shot, percent):
        """The ring's contrast against the host panel behind it: 3:1 at least. `percent` names
        the step."""
        from PIL import Image
        box = self.host.icon_box(shot)
        if not self.check(f"ring at {percent}% found on the panel", box, "no icon box"):
            return
        x, y, w, h = box
        image = Image.open(shot).convert("RGB").crop((x, y, x + w, y + h))
        background = max(image.getcolors(w * h), key=lambda c: c[0])[1]
        strong = sum(n for n, c in image.getcolors(w * h) if contrast(c, background) >= 3)
        best = max(contrast(c, background) for _, c in image.getcolors(w * h))
        image.resize((w * 8, h * 8), Image.NEAREST).save(
            self.out / f"{self.host.name}-ring-{percent}.png")
        self.check(f"ring at {percent}% stands out from the panel (3:1)", strong >= 12,
                   f"best contrast {best:.2f}:1, {strong} pixels at 3:1 or more")

    def widget(self, name):
        """A widget of the panel, on screen. Its place in the panel comes from the
        accessibility bus; the panel's place from the host, which alone knows it where the
        compositor placed it (sway)."""
        out = self.host.run(["/usr/bin/python3", ATSPI, name, PANEL]).split("\n")
        window = self.host.window(PANEL)
        if len(out) < 2 or "-" in out[:2] or not window:
            return None
        (x, y, w, h), (px, py, _, _) = (tuple(int(v) for v in line.split()) for line in out[:2])
        return (window[0] + x - px, window[1] + y - py, w, h)

    def panel_fits(self, label):
        """The panel inside the work area, and as tall as its content (or as the work area)."""
        window = until(lambda: self.host.window(PANEL), 5)
        if not self.check(f"{label}: the panel is open", window):
            return
        time.sleep(0.3)  # a fold's new height is taken at the next turn of the app's loop
        window = self.host.window(PANEL)
        content = until(lambda: self.widget("Claude usage panel"), 5)
        wx, wy, ww, wh = self.host.work_area()
        x, y, w, h = window
        self.check(f"{label}: the panel is inside the work area",
                   x >= wx and y >= wy and x + w <= wx + ww and y + h <= wy + wh,
                   f"panel {window}, work area {(wx, wy, ww, wh)}")
        if self.check(f"{label}: the panel's content is found", content):
            fits = abs(content[3] - h) <= 1 or (content[3] > h and h >= wh - 16 - 1)
            self.check(f"{label}: the panel is as tall as its content", fits,
                       f"panel {h} px, content {content[3]} px")

    def panel_closes(self, how, act):
        act()
        self.check(f"the panel closes on {how}", until(lambda: not self.host.window(PANEL), 5))

    def go(self):
        host = self.host
        print(f"{host.name}:", flush=True)
        host.start()
        host.session.set_reading(5, reset_text(125))
        self.app = host.launch()
        if host.has_tray and getattr(host, "xembed", False):
            # An X tray embeds the icon's window, and the app says where it is.
            menubar = host.session.home / ".local/share/Brimwatch/menubar.txt"
            self.check("the item is in the tray", until(
                lambda: menubar.exists() and "visible=true" in menubar.read_text() and
                "{{0, 0}, {0, 0}}" not in menubar.read_text(), 20))
        elif host.has_tray:
            self.check("the item is in the tray",
                       until(lambda: "StatusNotifierItem" in host.run(
                           ["gdbus", "call", "--session", "--dest",
                            "org.kde.StatusNotifierWatcher", "--object-path",
                            "/StatusNotifierWatcher", "--method",
                            "org.freedesktop.DBus.Properties.Get",
                            "org.kde.StatusNotifierWatcher", "RegisteredStatusNotifierItems"]), 20))
        else:
            self.check("the card stands in for the tray", until(lambda: host.window(CARD), 20))
            self.check("a notice says why", until(lambda: host.notices() > 0, 20))
        until(lambda: self.reading()[0] == 5, 20)
        if host.has_tray and hasattr(host, "eval"):
            # GNOME's extension registers the item at once, and draws it when it has read it.
            self.check("the shell draws the item", until(lambda: host.icon_box(None), 30))
        steps = [(5, 125), (82, 125), (97, 125), (100, 125), (3, 425)]
        for percent, minutes in steps:
            if percent != 5:
                self.read(percent, reset_text(minutes))
            time.sleep(1.5)  # the bubble's own animation
            shot = self.shot(f"{percent}")
            if host.has_tray:
                self.ring(shot, percent)
            if hasattr(host, "module_class"):
                want = "normal" if percent < 80 else "warn" if percent < 95 else "danger"
                self.check(f"at {percent}%: the Waybar module's class is {want}",
                           host.module_class() == want, f"it is {host.module_class()}")
            bubbles = host.bubbles()
            if bubbles is not None:
                self.check(f"at {percent}%: at most one bubble per limit", bubbles <= 1,
                           f"{bubbles} bubbles")
        self.panel_steps()
        self.account_steps()
        # The panel changes its look while the app runs: the ring follows, without a restart.
        if hasattr(host, "switch_look"):
            host.switch_look()
            time.sleep(2)
            self.ring(self.shot("look-switched"), "3-after-the-panel-changed-its-look")
        # A second launch shows the panel of the one that runs, then ends.
        second = host.launch()
        try:
            code = second.wait(10)
        except subprocess.TimeoutExpired:
            code = None
        self.check("a second launch ends at once", code == 0, f"exit {code}")
        self.panel_fits("after a second launch")
        self.shot("second-launch")
        self.panel_closes("Escape", lambda: host.key("Escape"))
        self.check("the app is still running", self.app.poll() is None, host.session.app_log())

    def open_panel(self):
        host = self.host
        shot = self.shots[-1]
        if host.has_tray:
            box = host.icon_box(shot)
            if box:
                host.click(box[0] + box[2] // 2, box[1] + box[3] // 2)
        else:
            # The card's menu leads to the panel where there is no tray.
            card = host.window(CARD)
            if card:
                # A menu is a popup, which the accessibility bus does not list: its first
                # entry is right below the point it opened at.
                x, y = card[0] + 40, card[1] + 40
                # A menu that opens late under load misses the click: once more, then.
                for attempt in range(2):
                    host.click(x, y, button=3)
                    time.sleep(1 + attempt)
                    if attempt == 0:
                        self.shot("card-menu")
                    host.click(x + 30, y + 12)
                    if until(lambda: host.window(PANEL), 5):
                        break

    def panel_steps(self):
        host = self.host
        self.open_panel()
        self.panel_fits("opened with one click")
        self.shot("panel")
        for fold in ("▾ History", "▸ History"):
            header = self.widget(fold)
            if self.check(f"the panel's '{fold}' is found", header):
                host.click(header[0] + 30, header[1] + header[3] // 2)
                self.panel_fits("folded" if fold.startswith("▾") else "unfolded")
                self.shot("folded" if fold.startswith("▾") else "unfolded")
        self.panel_closes("a click outside", lambda: host.click(120, 700))
        self.shot("closed")


    def account_steps(self):
        """A second account, added from the command line while the app runs: a section of its
        own in the panel, the ring on the higher session; then removed again."""
        host, session = self.host, self.host.session
        work = session.home / "work"
        work.mkdir()
        (work / "settings.json").write_text("{}")
        (work / "percent").write_text("64")
        if session.owner:
            subprocess.run(["chown", "-R", f"{session.owner[0]}:{session.owner[1]}", str(work)])
        session.run([session.brimwatch, "--add-account", "Work", str(work)])
        usage = session.home / ".local/share/Brimwatch/usage.json"

        def accounts():
            try:
                return [a["limits"][0]["percent"] if a["limits"] else None
                        for a in json.loads(usage.read_text()).get("accounts", [])]
            except (OSError, ValueError, KeyError, IndexError):
                return []
        self.check("a second account is read", until(lambda: accounts() == [3, 64], 20),
                   f"usage.json has {accounts()}")
        time.sleep(1.5)
        shot = self.shot("two-accounts")
        if host.has_tray:
            self.ring(shot, "64-the-higher-account")
        if host.has_tray and not getattr(host, "xembed", False):
            self.show_usage()
        else:
            self.open_panel()
        self.panel_fits("two accounts")
        for name in ("Claude", "Work"):
            self.check(f"the panel has a section for {name}", until(lambda: self.widget(name), 5))
        self.shot("panel-two-accounts")
        self.panel_closes("a click outside", lambda: host.click(120, 700))
        session.run([session.brimwatch, "--remove-account", "Work"])
        self.check("the second account is removed", until(lambda: accounts() == [3], 5),
                   f"usage.json has {accounts()}")


def contact_sheet(shots, out):
    sheet = out / "contact-sheet.png"
    subprocess.run(["montage", "-font", "DejaVu-Sans", "-label", "%t", "-pointsize", "11", "-geometry", "400x250+6+6",
                    "-tile", "5x", *[str(s) for s in shots], str(sheet)], check=False)
    return sheet


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--brimwatch", required=True)
    ap.add_argument("--out", required=True)
    ap.add_argument("--hosts", default="gnome,xfce-light,xfce-dark,no-tray")
    args = ap.parse_args()
    out = Path(args.out)
    out.mkdir(parents=True, exist_ok=True)
    for old in out.glob("*.png"):
        old.unlink()
    results, shots = [], []
    for name in args.hosts.split(","):
        host = hosts.make(name, args.brimwatch)
        run = Run(host, out)
        try:
            run.go()
        except Exception:  # a host that breaks is a failed check, and the others still run
            run.check("the host ran to the end", False, traceback.format_exc())
        finally:
            host.stop()
        results += run.results
        shots += run.shots
    sheet = contact_sheet(shots, out)
    failed = [r for r in results if not r[2]]
    print(f"\n{len(results) - len(failed)} of {len(results)} checks passed; "
          f"pictures in {out}, contact sheet {sheet}")
    for host, what, _, detail in failed:
        print(f"FAILED {host}: {what}: {detail}")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())

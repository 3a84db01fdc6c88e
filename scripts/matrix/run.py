#!/usr/bin/python3
"""The desktop matrix: Brimwatch on real desktops, headless, driven as a person drives it, again
and again, each step photographed and checked. See scripts/desktop-matrix.sh."""

import argparse
import json
import re
import subprocess
import sys
import time
import traceback
from datetime import datetime, timedelta, timezone
from pathlib import Path

import hosts
from hosts import contrast
from session import transcripts, until

ATSPI = str(Path(__file__).with_name("atspi.py"))
PANEL, CARD = "Brimwatch panel", "Brimwatch card"


def reset_text(at):
    """A reset time of day, as the tool prints it."""
    return at.strftime("%-I:%M%p").lower()


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
        self.host.rest()
        time.sleep(0.4)  # a hovered icon's highlight fades
        self.host.screenshot(path)
        until(lambda: path.exists() and path.stat().st_size > 0, 5)
        self.shots.append(path)
        return path

    # What the app last read, from the file it writes after every reading.
    def reading(self):
        path = self.host.session.home / ".local/share/Brimwatch/usage.json"
        try:
            data = json.loads(path.read_text())
            return data["limits"][0]["percent"], data["checkedAt"], data["limits"][0]["resetText"]
        except (OSError, ValueError, KeyError, IndexError):
            return None, None, None

    def item(self):
        return f"org.kde.StatusNotifierItem-{self.app.pid}-1"

    def menu_entry(self, entry):
        # What a host does when the person picks an entry of the item's menu: 1 "Show usage",
        # 2 "Refresh now".
        self.host.run(["gdbus", "call", "--session", "--dest", self.item(), "--object-path",
                       "/MenuBar", "--method", "com.canonical.dbusmenu.Event", str(entry),
                       "clicked", "<''>", "0"])

    def notices(self):
        """The summaries of the notices the app sent, from the session bus's own record."""
        log = self.host.session.dir / "notices.log"
        text = log.read_text(errors="replace") if log.exists() else ""
        return re.findall(r'string "Brimwatch"\s+uint32 \d+\s+string "[^"]*"\s+string "([^"]*)"',
                          text)

    def read(self, percent, reset):
        self.host.session.set_reading(percent, reset)
        before = self.reading()
        if before[1]:
            self.menu_entry(2)
        ok = until(lambda: self.reading()[0] == percent and self.reading() != before, 20)
        return self.check(f"reads {percent}% resetting {reset}", ok,
                          f"usage.json says {self.reading()}")

    def ring(self, shot, label):
        """The ring's contrast against the host panel behind it: most of what it draws at 3:1
        or more, its digits and its coloured arc alike."""
        from PIL import Image
        box = self.host.icon_box(shot)
        if not self.check(f"ring {label}: found on the panel", box, "no icon box"):
            return
        x, y, w, h = box
        image = Image.open(shot).convert("RGB").crop((x, y, x + w, y + h))
        colours = image.getcolors(w * h)
        background = max(colours, key=lambda c: c[0])[1]
        drawn = [(n, c) for n, c in colours if contrast(c, background) >= 1.4]
        strong = sum(n for n, c in drawn if contrast(c, background) >= 3)
        share = strong / max(1, sum(n for n, _ in drawn))
        image.resize((w * 8, h * 8), Image.NEAREST).save(
            self.out / f"{self.host.name}-ring-{label}.png")
        # An outlined ring, for a panel that says nothing of its look, has its track and edges
        # in between: its digits and arc must still stand out.
        enough = 0.4 if self.host.panel_look_known else 0.15
        self.check(f"ring {label}: stands out from the panel (3:1)",
                   strong >= 12 and share >= enough,
                   f"{strong} pixels at 3:1 or more, {share:.0%} of what it draws")
        # The arc's core: the stroke's antialiased sides blend with the panel. An outlined ring
        # stands out by its dark edge: its colours are for panels light or dark, not between.
        coloured = [(n, c) for n, c in drawn if max(c) - min(c) > 60]
        if self.host.panel_look_known and sum(n for n, _ in coloured) >= 6:
            best = sorted((contrast(c, background) for n, c in coloured for _ in range(n)))
            core = best[len(best) * 3 // 4]
            self.check(f"ring {label}: its coloured arc at 3:1", core >= 3,
                       f"{core:.2f}:1 for the best quarter of {len(best)} pixels")

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
        """The panel inside the work area, as tall as its content (or as the work area), and
        in no task bar."""
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
        if hasattr(self.host, "states"):
            states = self.host.states(PANEL)
            self.check(f"{label}: the panel is in no task bar", "SKIP_TASKBAR" in states, states)

    def panel_closes(self, how, act):
        time.sleep(0.5)  # a person looks at the panel before closing it
        act()
        self.check(f"the panel closes on {how}", until(lambda: not self.host.window(PANEL), 5))

    def ring_centre(self):
        box = self.host.icon_box(self.shots[-1]) if self.host.has_tray else None
        return (box[0] + box[2] // 2, box[1] + box[3] // 2) if box else None

    def go(self):
        host = self.host
        print(f"{host.name}:", flush=True)
        host.start()
        # Every notice the app sends, as the session bus carries it.
        host.session.start(["dbus-monitor", "--session",
                            "interface='org.freedesktop.Notifications',member='Notify'"],
                           log="notices")
        self.reset = datetime.now(timezone.utc) + timedelta(minutes=125)
        host.session.set_reading(5, reset_text(self.reset))
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
        if host.has_tray:
            # A host registers the item at once, and draws it when it has read it.
            snap = host.session.dir / "snap.png"
            self.check("the host draws the item",
                       until(lambda: host.screenshot(snap) or host.icon_box(snap), 30, 0.5))
        shot = self.shot("5")
        if host.has_tray:
            self.ring(shot, "at 5%")
            self.click_steps()
        self.notice_steps()
        self.panel_steps()
        self.account_steps()
        self.look_steps()
        if hasattr(host, "tap"):
            self.tap_step()
        if hasattr(host, "desktops"):
            self.desktop_steps()
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

    def click_steps(self):
        """Five single clicks on the ring, each checked and undone; a right click, a double
        click, and (where the host tells it) a middle click."""
        host = self.host
        at = self.ring_centre()
        if not self.check("the ring can be clicked", at):
            return
        panel = lambda: host.window(PANEL)
        for i in range(1, 6):
            time.sleep(0.6)  # a person's pace: not a double click with the last one
            host.click(*at)
            if host.click_opens_menu:
                self.check(f"click {i}: the item's menu opens", until(host.menu_open, 3))
                if i == 1:
                    self.shot("menu")
                host.key("Escape")
                until(lambda: not host.menu_open(), 3)
            else:
                self.check(f"click {i}: the panel opens", until(panel, 3))
                time.sleep(0.6)  # a person's pace: not a double click
                host.click(*at)
                self.check(f"click {i}: a click on the ring closes it",
                           until(lambda: not panel(), 3))
        menus = host.menu_open()
        if menus is not None:
            time.sleep(0.6)
            host.click(*at, button=3)
            if self.check("a right click opens the item's menu", until(host.menu_open, 3)):
                self.shot("right-click")
            host.key("Escape")
            until(lambda: not host.menu_open(), 3)
        time.sleep(0.6)
        host.double_click(*at)
        self.check("a double click opens the panel", until(panel, 3) and
                   (time.sleep(1) or panel()), "the second click closed it")
        if host.click_opens_menu:
            # A click on the ring while the panel is open: the menu takes its place.
            host.click(*at)
            self.check("a click with the panel open opens the menu", until(host.menu_open, 3))
            self.check("and the panel closes", until(lambda: not panel(), 3))
            host.key("Escape")
            until(lambda: not host.menu_open(), 3)
        else:
            self.panel_closes("Escape", lambda: host.key("Escape"))
        if host.click_opens_menu:
            time.sleep(0.6)
            host.click(*at, button=2)
            self.check("a middle click opens the panel", until(panel, 3))
            self.panel_closes("Escape after a middle click", lambda: host.key("Escape"))

    def notice_steps(self):
        """Readings that near the limit, each escalation left until the server has taken the
        last bubble away, then seen to pop up anew. A reset that drifts by minutes tells nothing
        again; a new window closes the bubble and says the limit is back."""
        host = self.host
        popups = host.popups() is not None  # a notification service there
        # (percent, the reset's drift in minutes, the notice, whether the last bubble expires
        # first: a critical one stays until dismissed)
        steps = [(82, 0, "Claude session at 82%", False), (97, 0, "Claude session at 97%", True),
                 (97, 1, None, False), (97, 4, None, False), (97, 20, None, False),
                 (100, 20, "Claude session limit reached", True),
                 (3, 300, "Claude session is back to 3%", False)]
        for percent, drift, told, expires in steps:
            if popups and expires:
                # The last bubble expires, as a person who looks away lets it.
                self.check(f"before {percent}%: the last bubble has gone",
                           until(lambda: host.popups() == 0, 25, 0.5))
            sent = len(self.notices())
            if not self.read(percent, reset_text(self.reset + timedelta(minutes=drift))):
                continue
            new = lambda: self.notices()[sent:]
            if not popups:
                pass  # without a service a notice is sent again at the next reading, once
            elif told:
                self.check(f"at {percent}%: told \"{told}\"",
                           until(lambda: told in new(), 10), f"sent {new()}")
                self.check(f"at {percent}%: it pops up", until(lambda: host.popups() > 0, 5))
            else:
                time.sleep(1.5)
                self.check(f"a reset {drift} minutes later: nothing told again", not new(),
                           f"sent {new()}")
            time.sleep(1)  # the bubble's own animation
            shot = self.shot(f"{percent}-{drift}")
            if host.has_tray and told:
                self.ring(shot, f"at {percent}%")
            if hasattr(host, "module_class"):
                want = "normal" if percent < 80 else "warn" if percent < 95 else "danger"
                self.check(f"at {percent}%: the Waybar module's class is {want}",
                           host.module_class() == want, f"it is {host.module_class()}")
            bubbles = host.bubbles()
            if bubbles is not None:
                self.check(f"at {percent}%: at most one bubble per limit", bubbles <= 1,
                           f"{bubbles} bubbles")

    def open_panel(self):
        host = self.host
        if host.has_tray:
            at = self.ring_centre()
            if at and host.click_opens_menu:
                host.double_click(*at)
            elif at:
                host.click(*at)
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
        if host.window(PANEL):  # left open by a step that failed
            host.key("Escape")
        self.open_panel()
        self.panel_fits("opened from the ring")
        self.check("the panel says what used the session",
                   until(lambda: self.widget("Mostly brimwatch ≈*"), 10))
        self.shot("panel")
        for fold in ("▾ History", "▸ History"):
            header = self.widget(fold)
            if self.check(f"the panel's '{fold}' is found", header):
                host.click(header[0] + 30, header[1] + header[3] // 2)
                self.panel_fits("folded" if fold.startswith("▾") else "unfolded")
                self.shot("folded" if fold.startswith("▾") else "unfolded")
        self.panel_closes("a click outside", lambda: host.click(120, host.screen[1] - 100))
        self.shot("closed")

    def account_steps(self):
        """A second account, added from the command line while the app runs: a section of its
        own in the panel, the ring on the higher session; then removed again."""
        host, session = self.host, self.host.session
        work = session.home / "work"
        work.mkdir()
        (work / "settings.json").write_text("{}")
        (work / "percent").write_text("64")
        transcripts(work, {"/home/me/src/infra": 50})
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
            self.ring(shot, "at 64%, the higher account")
        if host.has_tray and not getattr(host, "xembed", False):
            self.menu_entry(1)  # "Show usage"
        else:
            self.open_panel()
        self.panel_fits("two accounts")
        for name in ("Claude", "Work"):
            self.check(f"the panel has a section for {name}", until(lambda: self.widget(name), 5))
        self.check("the second account's section says what used it",
                   until(lambda: self.widget("Mostly infra ≈*"), 10))
        self.shot("panel-two-accounts")
        self.panel_closes("a click outside", lambda: host.click(120, host.screen[1] - 100))
        session.run([session.brimwatch, "--remove-account", "Work"])
        self.check("the second account is removed", until(lambda: accounts() == [3], 5),
                   f"usage.json has {accounts()}")

    def card_look(self, shot):
        """The card's fill and the contrast of its title on it, from a picture."""
        from PIL import Image
        card = self.host.window(CARD)
        if not card:
            return None, 0
        x, y, w, _ = card
        image = Image.open(shot).convert("RGB")
        fill = image.getpixel((x + w - 30, y + 8))
        title = image.crop((x + 16, y + 14, x + 150, y + 36)).getcolors(134 * 22)
        return fill, max(contrast(c, fill) for _, c in title)

    def look_steps(self):
        """Dark and light again (or light and dark again) while the app runs: the ring, the
        card and the panel follow within a second or two, each step photographed and
        measured."""
        host = self.host
        for dark in (not getattr(host, "dark", False), getattr(host, "dark", False)):
            look = "dark" if dark else "light"
            if hasattr(host, "set_panel_look"):
                # The host panel alone first: the ring follows it, whatever else says.
                host.set_panel_look(dark)
                time.sleep(2)
                self.ring(self.shot(f"panel-{look}"), f"on the panel made {look}")
            if not host.set_look(dark):
                return
            time.sleep(2)
            shot = self.shot(f"look-{look}")
            if host.has_tray:
                self.ring(shot, f"on the {look} panel")
            fill, text = self.card_look(shot)
            if self.check(f"{look}: the card is there", fill):
                lightness = sum(fill) / 3
                self.check(f"{look}: the card follows", (lightness < 110) == dark,
                           f"its fill is {fill}")
                self.check(f"{look}: the card's title reads (4.5:1)", text >= 4.5,
                           f"{text:.2f}:1")

    def tap_step(self):
        """A tap on the card is not a drag: the card stays where it was, however the pointer
        goes on."""
        host = self.host
        card = host.window(CARD)
        if not self.check("the card is there to tap", card):
            return
        host.tap(card[0] + card[2] // 2, card[1] + 40)
        time.sleep(1)
        host.rest()
        time.sleep(1)
        self.check("a tap on the card leaves it where it was", host.window(CARD) == card,
                   f"from {card} to {host.window(CARD)}")

    def desktop_steps(self):
        """Two virtual desktops: the card shows on the second one too (a window manager that
        composites keeps other desktops' windows mapped: the picture tells)."""
        host = self.host
        host.desktops(2)
        host.switch_desktop(1)
        time.sleep(1.5)
        _, text = self.card_look(self.shot("second-desktop"))
        self.check("the card shows on the second desktop", text >= 4.5,
                   f"its title at {text:.2f}:1")
        host.switch_desktop(0)
        time.sleep(0.5)


def contact_sheet(shots, out, host):
    """One sheet a host: ImageMagick's limits do not take every host's pictures at once."""
    sheet = out / f"contact-sheet-{host}.png"
    subprocess.run(["montage", "-font", "DejaVu-Sans", "-label", "%t", "-pointsize", "11",
                    "-geometry", "400x250+6+6", "-tile", "6x", *[str(s) for s in shots],
                    str(sheet)], check=False)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--brimwatch", required=True)
    ap.add_argument("--out", required=True)
    ap.add_argument("--hosts", default="gnome,xfce-light,xfce-dark,kde,no-tray")
    args = ap.parse_args()
    out = Path(args.out)
    out.mkdir(parents=True, exist_ok=True)
    for old in out.glob("*.png"):
        old.unlink()
    results = []
    for name in args.hosts.split(","):
        host = hosts.make(name, args.brimwatch)
        run = Run(host, out)
        started = time.monotonic()
        try:
            run.go()
        except Exception:  # a host that breaks is a failed check, and the others still run
            run.check("the host ran to the end", False, traceback.format_exc())
        finally:
            host.stop()
        print(f"  ({time.monotonic() - started:.0f} s)", flush=True)
        results += run.results
        contact_sheet(run.shots, out, name)
    failed = [r for r in results if not r[2]]
    print(f"\n{len(results) - len(failed)} of {len(results)} checks passed; "
          f"pictures and a contact sheet for each host in {out}")
    for host, what, _, detail in failed:
        print(f"FAILED {host}: {what}: {detail}")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/python3
"""Faults planted in Brimwatch, one at a time, each with the hosts whose matrix must then go red
and the check that must fail there: a check that no planted fault fails is not a check.
    scripts/matrix/plants.py [NAME...]      (all of them by default)
Each plant is built in build-plant/, run through the matrix on its hosts, then taken out again;
the working tree is left as it was. Prints one line per plant: caught, or MISSED."""

import subprocess
import sys
import tempfile
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]

# name: (file, the line as it is, the line planted, hosts, the check that must fail)
PLANTS = {
    "no menu": (
        "src/platform/SniAdaptors.cpp",
        "return QDBusObjectPath(QString::fromLatin1(StatusNotifierItem::kMenuPath));",
        'return QDBusObjectPath(QStringLiteral("/NO_DBUSMENU"));',
        "gnome,xfce-light,kde", ["click 1: the item's menu opens", "a right click opens"]),
    "the menu beside the panel": (
        "src/app/AppDelegate.cpp",
        "        if (panel_)\n            panel_->hide();",
        "        if (false)\n            panel_->hide();",
        "gnome", ["and the panel closes"]),
    "a middle click does nothing": (
        "src/platform/SniAdaptors.cpp",
        "void SniAdaptor::SecondaryActivate(int x, int y) {\n    emit item_->activated(QPoint(x, y));",
        "void SniAdaptor::SecondaryActivate(int, int) {\n    {}",
        "gnome", ["a middle click opens the panel"]),
    "a double click closes what its first click opened": (
        "src/app/AppDelegate.cpp",
        "if (panel_ && panel_->justOpened())",
        "if (false)",
        "xfce-light,kde", ["a double click opens the panel"]),
    "the second click never reopens": (
        "src/app/PanelWindow.cpp",
        "return closedAt_.isValid() && closedAt_.elapsed() < 300;",
        "return closedAt_.isValid();",
        "xfce-light", ["click 2: the panel opens"]),
    "Escape ignored": (
        "src/app/PanelWindow.cpp",
        "    if (e->key() == Qt::Key_Escape)\n        hide();",
        "    if (e->key() == Qt::Key_Escape)\n        return;",
        "xfce-light", ["the panel closes on Escape"]),
    "changes of the look never heard": (
        "src/platform/DesktopLookWatcher.cpp",
        "    qRegisterMetaType<QDBusVariant>();",
        "",
        "gnome,xfce-light", ["dark: the card follows", "ring on the panel made dark: stands out"]),
    "an expired bubble replaced": (
        "src/app/NearLimitAlerts.cpp",
        "        bubbles_.removeIf([id](const auto& b) { return b.value() == id; });",
        "        (void)id;",
        "kde", ["at 97%: it pops up"]),
    "bubbles that never expire": (
        "src/platform/Notifications.cpp",
        "         << int(-1);",
        "         << int(0);",
        "xfce-light", ["before 97%: the last bubble has gone"]),
    "a drift of minutes starts a new window": (
        "src/store/Pace.cpp",
        "return *before > at && moved < (window(title) == kWeek ? 86400 : 3600);",
        "return *before > at && std::fabs(moved) <= 120;",
        "xfce-light", ["a reset 4 minutes later: nothing told again"]),
    "the panel past the work area": (
        "src/app/PanelWindow.cpp",
        "    const QSize fitted = windowSize(size, work);",
        "    const QSize fitted = windowSize(size, whole);",
        "xfce-dark", ["the panel is inside the work area"]),
    "the panel in task bars": (
        "src/app/PanelWindow.cpp",
        "            WindowHints::keepOutOfTaskbars(w->windowHandle());",
        "            (void)w;",
        "kde", ["the panel is in no task bar"]),
    "the card on one desktop": (
        "src/app/DesktopWidget.cpp",
        "        WindowHints::makeDesktopCard(windowHandle());\n        show();\n"
        "        WindowHints::showOnAllDesktops(windowHandle());",
        "        show();",
        "kde", ["the card shows on the second desktop"]),
    "the card's workspace not asked again once shown": (
        "src/app/DesktopWidget.cpp",
        "        WindowHints::showOnAllDesktops(windowHandle());",
        "",
        "kde", ["the card shows on the second desktop"]),
    "a press starts a move": (
        "src/app/DesktopWidget.cpp",
        "    grab_ = pressedAt_ - window()->pos();",
        "    grab_ = pressedAt_ - window()->pos();\n    window()->windowHandle()->startSystemMove();",
        "kde,xfce-light", ["a tap on the card leaves it where it was"]),
    "bright arcs on light panels": (
        "src/app/RingImage.cpp",
        "        return lightPanel ? QColor(196, 28, 22) : QColor(255, 69, 58);",
        "        return QColor(255, 69, 58);",
        "kde", ["at 97%: its coloured arc at 3:1"]),
    "the ring in one ink": (
        "src/app/AppDelegate.cpp",
        "    const DesktopLook::Ink ink = DesktopLook::ringInk(clues);",
        "    const DesktopLook::Ink ink = DesktopLook::Ink::Dark;",
        "xfce-dark", ["ring at 5%: stands out"]),
}


def build(tree):
    subprocess.run(["cmake", "-S", str(ROOT), "-B", str(tree), "-G", "Ninja",
                    "-DCMAKE_BUILD_TYPE=RelWithDebInfo"], check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", str(tree), "--target", "brimwatch", "brimwatch-gui"],
                    check=True, stdout=subprocess.DEVNULL)


def main():
    names = sys.argv[1:] or list(PLANTS)
    tree = ROOT / "build-plant"
    missed = 0
    for name in names:
        path, was, planted, hosts, must_fail = PLANTS[name]
        source = ROOT / path
        original = source.read_text()
        if original.count(was) != 1:
            print(f"{name}: the line to plant in is not in {path} once", flush=True)
            missed += 1
            continue
        try:
            source.write_text(original.replace(was, planted))
            build(tree)
            with tempfile.TemporaryDirectory() as out:
                run = subprocess.run([sys.executable, str(ROOT / "scripts/matrix/run.py"),
                                      "--brimwatch", str(tree / "src/app/brimwatch"), "--out",
                                      out, "--hosts", hosts], capture_output=True, text=True)
        finally:
            source.write_text(original)
        failed = [line for line in run.stdout.splitlines() if line.startswith("FAILED")]
        caught = [c for c in must_fail if any(c in line for line in failed)]
        ok = len(caught) == len(must_fail)
        missed += not ok
        print(f"{'caught' if ok else 'MISSED'}: {name} ({hosts}): "
              f"{len(failed)} checks failed" +
              ("" if ok else f"; expected {must_fail}") + "".join(
                  f"\n    {line}" for line in failed[:6]), flush=True)
    build(tree)  # as the working tree is
    return 1 if missed else 0


if __name__ == "__main__":
    sys.exit(main())

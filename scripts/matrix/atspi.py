#!/usr/bin/python3
"""Finds Brimwatch's widgets as a screen reader does, over the accessibility bus of the session
it runs in: `atspi.py NAME...` prints, for each name, the widget's box on screen ("x y w h"),
or "-" when Brimwatch shows no widget of that name. A name ending in "*" is a beginning."""

import sys

import pyatspi


def box(name):
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        if app is None or (app.name or "").lower() != "brimwatch":
            continue
        node = pyatspi.findDescendant(
            app, lambda a: a is not None and
            (a.name == name or name.endswith("*") and (a.name or "").startswith(name[:-1])) and
            a.getState().contains(pyatspi.STATE_SHOWING), breadth_first=True)
        if node:
            x, y, w, h = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
            return f"{x} {y} {w} {h}"
    return "-"


if __name__ == "__main__":
    for name in sys.argv[1:]:
        print(box(name))

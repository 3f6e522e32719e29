#!/usr/bin/env python3
"""The window as a screen reader sees it, through the AT-SPI bus.

Run on a display (xvfb-run) inside a D-Bus session (dbus-run-session) in a lab's host
namespace: starts the window, listens on the accessibility bus as a screen reader does, and
checks what the window offers there:
  * once the cameras are listed, no interactive control of the window lacks a name;
  * a message box is an alert that speaks its text: pressing Refresh through the bus brings
    "Searching camera, please wait..." as an alert.
Prints each failure and exits 1 when there is one, 0 otherwise.
"""

import argparse
import os
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

INTERACTIVE = {
    pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TOGGLE_BUTTON, pyatspi.ROLE_CHECK_BOX,
    pyatspi.ROLE_RADIO_BUTTON, pyatspi.ROLE_COMBO_BOX, pyatspi.ROLE_TEXT,
    pyatspi.ROLE_PASSWORD_TEXT, pyatspi.ROLE_ENTRY, pyatspi.ROLE_LIST, pyatspi.ROLE_LIST_BOX,
    pyatspi.ROLE_LIST_ITEM, pyatspi.ROLE_MENU_ITEM, pyatspi.ROLE_TABLE, pyatspi.ROLE_PAGE_TAB,
    pyatspi.ROLE_SLIDER, pyatspi.ROLE_SPIN_BUTTON, pyatspi.ROLE_TREE, pyatspi.ROLE_TREE_TABLE,
}
APP_NAMES = ("Tarsel_NextGenerate", "tarsel-gui")
SEARCHING = "Searching camera, please wait..."

alerts = []  # texts of the alerts that appeared


def pump(seconds, done=lambda: False):
    """Runs the bus's events for up to `seconds`, or until done() holds."""
    context = GLib.MainContext.default()
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        while context.pending():
            context.iteration(False)
        if done():
            return True
        time.sleep(0.05)
    return done()


def on_event(event):
    try:
        source = event.source
        if source.getRole() == pyatspi.ROLE_ALERT and event.detail1 == 1:
            alerts.append(source.name)
    except Exception:  # an object gone by the time it is asked about
        pass


def find_app():
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and app.name in APP_NAMES:
            return app
    return None


def walk(node, path="", depth=0):
    """Every object below node with its path in the tree."""
    if node is None or depth > 40:
        return
    yield node, path
    for i in range(node.childCount):
        try:
            child = node.getChildAtIndex(i)
        except Exception:
            continue
        if child is not None:
            yield from walk(child, "%s/%s[%d]" % (path, child.getRoleName(), i), depth + 1)


def find_named(app, name):
    return next((obj for obj, _ in walk(app) if obj.name == name), None)


def unnamed_controls(app):
    """Interactive objects without a name: by role, or any that takes the keyboard. Scroll
    bars are read through what they scroll, table cells through the table; a combo box's own pop-up list through the combo
    box; an alert that is not shown says nothing. Also counts the objects checked."""
    found = []
    checked = 0
    for obj, path in walk(app):
        role = obj.getRole()
        states = obj.getState()
        # A table's cells are its data, read by the table check; an empty value is an
        # empty cell, not a control without a name.
        if role in (pyatspi.ROLE_SCROLL_BAR, pyatspi.ROLE_TABLE_CELL) or "/combo box" in path:
            continue
        if role == pyatspi.ROLE_ALERT and not states.contains(pyatspi.STATE_SHOWING):
            continue
        interactive = role in INTERACTIVE or states.contains(pyatspi.STATE_FOCUSABLE)
        checked += interactive
        if interactive and not (obj.name or "").strip():
            found.append("%s (%s)" % (path, obj.getRoleName()))
    return found, checked


def camera_table_failures(app, cameras):
    """The camera list reads as a table named "Camera List" with a row per camera whose cells
    hold its name and MAC, under named column headers."""
    table = next((obj for obj, _ in walk(app)
                  if obj.getRole() == pyatspi.ROLE_TABLE and obj.name == "Camera List"), None)
    if table is None:
        return ["no table named 'Camera List'"]
    cells = table.queryTable()
    rows = [[cells.getAccessibleAt(r, c).name or "" for c in range(cells.nColumns)]
            for r in range(cells.nRows)]
    print("camera table: %d rows x %d columns" % (cells.nRows, cells.nColumns))
    failures = []
    if len(rows) != len(cameras):
        failures.append("the table has %d rows for %d cameras" % (len(rows), len(cameras)))
    headers = [cells.getColumnHeader(c) for c in range(cells.nColumns)]
    if not any(h is not None and "MAC" in (h.name or "") for h in headers):
        failures.append("no column header named MAC")
    for name, mac in cameras:
        if not any(name in row and mac in row for row in rows):
            failures.append("no row holds %s and %s (rows: %r)" % (name, mac, rows))
    return failures


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--gui", required=True, help="the window's executable")
    parser.add_argument("--camera", action="append", default=[], help="NAME,MAC of a lab camera")
    parser.add_argument("--timeout", type=float, default=60)
    args = parser.parse_args()
    cameras = [tuple(c.split(",", 1)) for c in args.camera]

    env = dict(os.environ, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1")
    failures = []
    window = None
    try:
        pyatspi.Registry.registerEventListener(on_event, "object:state-changed:showing")
        window = subprocess.Popen([args.gui], env=env)
        app = None
        if not pump(args.timeout, lambda: find_app() is not None):
            raise SystemExit("FAIL: the window never appeared on the accessibility bus")
        app = find_app()
        total = "Total: %d" % len(cameras)
        if not pump(args.timeout, lambda: find_named(app, total) is not None):
            failures.append("the counter never read %r" % total)

        unnamed, checked = unnamed_controls(app)
        failures.extend("no name: " + control for control in unnamed)
        print("interactive objects checked: %d, without a name: %d" % (checked, len(unnamed)))

        # Refresh, pressed as a screen reader user would, announces the search. The start-up
        # message is gone first (the window's controls are off while a message shows).
        pump(10, lambda: not any(obj.getRole() == pyatspi.ROLE_ALERT and
                                 obj.getState().contains(pyatspi.STATE_SHOWING) for obj, _ in walk(app)))
        del alerts[:]
        refresh = find_named(app, "Refresh")
        if refresh is None:
            failures.append("no control named Refresh")
        else:
            refresh.queryAction().doAction(0)
            if not pump(15, lambda: SEARCHING in alerts):
                failures.append("no alert said %r (alerts: %r)" % (SEARCHING, alerts))
            print("alerts heard after Refresh: %r" % alerts)
        pump(args.timeout, lambda: find_named(app, total) is not None)
        failures.extend(camera_table_failures(app, cameras))
    finally:
        if window is not None:
            window.terminate()
            try:
                window.wait(10)
            except subprocess.TimeoutExpired:
                window.kill()
    for failure in failures:
        print("FAIL: " + failure, file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

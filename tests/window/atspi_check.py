#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""Checks the real Sheetfind window from outside, as a screen reader sees it on
the AT-SPI bus: the names and roles of its controls, which caption labels which
box, and that the result's name becomes the reference after a lookup driven
through AT-SPI alone (text typed by the EditableText interface, the button
pressed by its action).

Run under tests/window/with_atspi.sh, with the program as the only argument.
Every wait has a deadline; the window is ended however the check ends.
"""

import subprocess
import sys
import time

import pyatspi

DEADLINE_SECONDS = 20
POLL_SECONDS = 0.1


def wait_for(what, probe):
    """Polls probe() until it returns something true, or fails after the deadline."""
    end = time.monotonic() + DEADLINE_SECONDS
    while time.monotonic() < end:
        found = probe()
        if found:
            return found
        time.sleep(POLL_SECONDS)
    raise AssertionError(f"timed out waiting for {what}")


def find_application(pid):
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        if app is not None and app.get_process_id() == pid:
            return app
    return None


def descendants(node):
    for child in node:
        if child is None:
            continue
        yield child
        yield from descendants(child)


def by_name(root, name, roles):
    for node in descendants(root):
        if node.name == name and node.getRole() in roles:
            return node
    return None


def related(node, kind):
    targets = []
    for relation in node.getRelationSet():
        if relation.getRelationType() == kind:
            targets += [relation.getTarget(i) for i in range(relation.getNTargets())]
    return targets


def check(condition, message):
    if not condition:
        raise AssertionError(message)
    print(f"ok: {message}")


def type_into(box, text):
    editable = box.queryEditableText()
    editable.setTextContents(text)
    wait_for(f"{box.name} to hold {text!r}",
             lambda: box.queryText().getText(0, -1) == text)


def main():
    program = sys.argv[1]
    window = subprocess.Popen([program])
    try:
        app = wait_for("the window on the AT-SPI bus", lambda: find_application(window.pid))
        check(app.name == "Sheetfind", f"the application is named Sheetfind ({app.name!r})")
        boxes = (pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY)
        labels = (pyatspi.ROLE_LABEL,)
        lat = wait_for("the latitude box", lambda: by_name(app, "Latitude", boxes))
        lon = by_name(app, "Longitude", boxes)
        button = by_name(app, "Sheetfind Reference", (pyatspi.ROLE_PUSH_BUTTON,))
        result = by_name(app, "Sheet reference", labels)
        caption1 = by_name(app, "Latitude (DD.DDDDD)", labels)
        caption2 = by_name(app, "Longitude", labels)
        for name, node in [("txtLat", lat), ("txtLon", lon), ("cmdSheetfind", button),
                           ("Label3", result), ("Label1", caption1), ("Label2", caption2)]:
            check(node is not None, f"{name} is on the bus with its name and role")
        for node in (lat, lon, button, result):
            check(node.description != "", f"{node.name!r} has a description")
        check([t.name for t in related(lat, pyatspi.RELATION_LABELLED_BY)] == [caption1.name],
              "txtLat is labelled by Label1")
        check([t.name for t in related(lon, pyatspi.RELATION_LABELLED_BY)] == [caption2.name],
              "txtLon is labelled by Label2")
        check(related(caption1, pyatspi.RELATION_LABEL_FOR)[0].getRole() in boxes,
              "Label1 labels a box")

        type_into(lat, "49.25")
        type_into(lon, "-123.1")
        action = button.queryAction()
        names = [action.getName(i) for i in range(action.nActions)]
        check("Press" in names, f"the button has a Press action ({names})")
        action.doAction(names.index("Press"))
        wait_for("the result to be named 092G06", lambda: result.name == "092G06")
        check(True, "the result's name became 092G06")

        type_into(lat, "89")
        action.doAction(names.index("Press"))
        wait_for("the result to say no sheet",
                 lambda: result.name == "no sheet covers this point")
        check(True, "the result's name became 'no sheet covers this point'")
    finally:
        window.terminate()
        try:
            window.wait(timeout=5)
        except subprocess.TimeoutExpired:
            window.kill()
            window.wait()


if __name__ == "__main__":
    main()

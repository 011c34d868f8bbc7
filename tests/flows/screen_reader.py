#!/usr/bin/python3
"""A screen reader's walk through the running program, over AT-SPI as Orca makes it.

From the desktop's accessibility registry it finds the program (by its process id), the names of
its menu bar and page and the Edit menu's commands with their shortcuts, the page's
"Check for Updates" button and each product row's Install button by name; presses the stalling
product's Install through the Action interface, reads its progress bar's value while the download
waits, and cancels it by its Cancel button; then presses a product that installs, and listens for
what is added to the page's live region until the result is said. Prints one JSON object of what it found
and heard, and exits 1 (with the reason in "failed") at the first step that does not work.

    screen_reader.py PID STALLING_NAME INSTALLING_NAME INSTALLING_VERSION
"""
import json
import sys
import time

import pyatspi
from gi.repository import GLib

TIMEOUT = 60


def pump(seconds):
    """Lets the registry's events in for `seconds`."""
    end = time.monotonic() + seconds
    context = GLib.MainContext.default()
    while time.monotonic() < end:
        while context.iteration(False):
            pass
        time.sleep(0.02)


def wait_for(find, what, seconds=TIMEOUT):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        found = find()
        if found is not None:
            return found
        pump(0.25)
    raise LookupError(f"not found within {seconds} s: {what}")


def walk(node, depth=0):
    """Every accessible under `node`, depth first; a node that goes away mid-walk is skipped."""
    if node is None or depth > 60:
        return
    yield node
    try:
        count = node.childCount
    except Exception:
        return
    for i in range(count):
        try:
            child = node.getChildAtIndex(i)
        except Exception:
            continue
        yield from walk(child, depth + 1)


def program(pid):
    for app in pyatspi.Registry.getDesktop(0):
        try:
            if app is not None and app.get_process_id() == pid:
                return app
        except Exception:
            continue
    return None


def named(root, role, name):
    for node in walk(root):
        try:
            if node.getRole() == role and node.name == name and showing(node):
                return node
        except Exception:
            continue
    return None


def first(root, role):
    return next((node for node in walk(root) if node.getRole() == role), None)


def showing(node):
    return node.getState().contains(pyatspi.STATE_SHOWING)


def press(node):
    action = node.queryAction()
    for i in range(action.nActions):
        if action.getName(i) in ("press", "click", "activate", "jump"):
            return action.doAction(i)
    return action.doAction(0)


def bar_in_row(root, button_name):
    """The progress bar beside the button named `button_name`, with its values, once it has one."""
    for node in walk(root):
        try:
            if node.getRole() != pyatspi.ROLE_PUSH_BUTTON or node.name != button_name:
                continue
            row = node.parent
            for _ in range(6):
                for inner in walk(row):
                    if inner.getRole() == pyatspi.ROLE_PROGRESS_BAR:
                        value = inner.queryValue()
                        if value.currentValue > 0:
                            return {"value": value.currentValue, "min": value.minimumValue,
                                    "max": value.maximumValue}
                row = row.parent
        except Exception:
            continue
    return None


def bars(root):
    """Every progress bar and its value, for the report of a failed walk."""
    found = []
    for node in walk(root):
        try:
            if node.getRole() == pyatspi.ROLE_PROGRESS_BAR:
                value = node.queryValue()
                found.append([node.name, value.currentValue, showing(node)])
        except Exception as error:
            found.append(str(error))
    return found


def main():
    pid, stalling, installing, version = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4]
    report = {"heard": []}
    app = None

    # A live region speaks through what is added to it, as Orca hears it: the new child's text.
    def on_added(event):
        try:
            attributes = dict(a.split(":", 1) for a in event.source.getAttributes() if ":" in a)
            if attributes.get("container-live") not in ("polite", "assertive"):
                return
            text = event.any_data.queryText().getText(0, -1)
        except Exception:
            return
        if text.strip():
            report["heard"].append(text)

    pyatspi.Registry.registerEventListener(on_added, "object:children-changed:add")
    try:
        app = wait_for(lambda: program(pid), f"an accessible application of process {pid}")
        report["application"] = app.name
        menu_bar = wait_for(lambda: first(app, pyatspi.ROLE_MENU_BAR), "the menu bar")
        report["menuBar"] = menu_bar.name
        # The widgets between the window and the page's document: the web view among them.
        node = wait_for(lambda: first(app, pyatspi.ROLE_DOCUMENT_WEB), "the page").parent
        report["aroundPage"] = []
        while node is not None and node.getRole() != pyatspi.ROLE_FRAME:
            report["aroundPage"].append(node.name)
            node = node.parent
        edit = named(menu_bar, pyatspi.ROLE_MENU, "Edit")
        report["edit"] = [[item.name, item.queryAction().getKeyBinding(0)]
                          for item in walk(edit) if item.getRole() == pyatspi.ROLE_MENU_ITEM]
        check = wait_for(lambda: named(app, pyatspi.ROLE_PUSH_BUTTON, "Check for Updates"),
                         'the button "Check for Updates"')
        report["check"] = check.name
        for name in (stalling, installing):
            wait_for(lambda: named(app, pyatspi.ROLE_PUSH_BUTTON, f"Install {name}"),
                     f'the button "Install {name}"')
        report["rows"] = [f"Install {stalling}", f"Install {installing}"]

        press(named(app, pyatspi.ROLE_PUSH_BUTTON, f"Install {stalling}"))
        cancel = wait_for(lambda: named(app, pyatspi.ROLE_PUSH_BUTTON, f"Cancel: {stalling}"),
                          f'the button "Cancel: {stalling}" once the install began')
        report["bar"] = wait_for(lambda: bar_in_row(app, f"Cancel: {stalling}"),
                                 f"a progress bar with a value beside {stalling}'s Cancel")
        press(cancel)

        report["heard"].clear()
        press(wait_for(lambda: named(app, pyatspi.ROLE_PUSH_BUTTON, f"Install {installing}"),
                       f'the button "Install {installing}" again'))
        wait_for(lambda: next((line for line in report["heard"] if installing in line
                               and version in line), None),
                 f"an announcement of {installing}'s result", seconds=120)
    except LookupError as error:
        report["failed"] = str(error)
        report["bars"] = bars(app) if app is not None else []
    finally:
        pyatspi.Registry.deregisterEventListener(on_added, "object:children-changed:add")
    print(json.dumps(report))
    return 1 if "failed" in report else 0


if __name__ == "__main__":
    sys.exit(main())

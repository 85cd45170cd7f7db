#!/usr/bin/python3
"""Finds the program's controls on the accessibility bus as a screen reader does, by role and
accessible name, and prints or clicks them. Every wait is bounded.

  a11y.py wait-window NAME          waits until a window (frame or dialog) named NAME exists
  a11y.py centre ROLE NAME [WIN]    prints "X Y", the middle of the control on the screen
  a11y.py click ROLE NAME [WIN]     the control's default action (press, select)
  a11y.py names ROLE [WIN]          the names of all controls of that role, one a line
  a11y.py text ROLE NAME [WIN]      the text of an editable control
  a11y.py unnamed WIN               controls of window WIN without a name, one a line
  a11y.py table WIN                 the first table of window WIN: its column titles, then
                                    one line per row as shown, cells separated by tabs
"""
import sys
import time

import pyatspi

APP = "hostvane"
INTERACTIVE = {
    "push button", "check box", "combo box", "text", "spin button", "list", "list item",
    "page tab", "label", "panel",
}


def app():
    desktop = pyatspi.Registry.getDesktop(0)
    for a in desktop:
        if a is not None and a.name and a.name.lower().startswith(APP):
            return a
    return None


def walk(node, depth=0):
    if node is None or depth > 40:
        return
    yield node
    try:
        children = list(node)
    except Exception:
        return
    for child in children:
        yield from walk(child, depth + 1)


def window(name, required=True):
    a = app()
    if a is not None:
        for w in a:
            if w is not None and w.name == name:
                return w
    if required:
        sys.exit(f"no window named {name!r}")
    return None


def find(role, name, win=None, timeout=10):
    end = time.time() + timeout
    while time.time() < end:
        root = window(win, required=False) if win else app()
        if root is not None:
            for n in walk(root):
                try:
                    if n.getRoleName() == role and n.name == name:
                        return n
                except Exception:
                    continue
        time.sleep(0.2)
    sys.exit(f"no {role} named {name!r}" + (f" in {win!r}" if win else ""))


def main(argv):
    cmd = argv[1]
    if cmd == "wait-window":
        end = time.time() + 15
        while time.time() < end:
            if window(argv[2], required=False) is not None:
                return
            time.sleep(0.2)
        sys.exit(f"no window named {argv[2]!r}")
    win = None
    if cmd == "centre":
        n = find(argv[2], argv[3], argv[4] if len(argv) > 4 else None)
        e = n.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        print(e.x + e.width // 2, e.y + e.height // 2)
    elif cmd == "click":
        n = find(argv[2], argv[3], argv[4] if len(argv) > 4 else None)
        n.queryAction().doAction(0)
    elif cmd == "names":
        win = argv[3] if len(argv) > 3 else None
        root = window(win) if win else app()
        for n in walk(root):
            if n.getRoleName() == argv[2]:
                print(n.name)
    elif cmd == "text":
        n = find(argv[2], argv[3], argv[4] if len(argv) > 4 else None)
        t = n.queryText()
        print(t.getText(0, t.characterCount))
    elif cmd == "unnamed":
        for n in walk(window(argv[2])):
            role = n.getRoleName()
            if role in INTERACTIVE - {"panel", "label"} and not n.name:
                print(f"{role} in {n.parent.getRoleName()} {n.parent.name!r}")
    elif cmd == "table":
        for n in walk(window(argv[2])):
            if n.getRoleName() == "table":
                t = n.queryTable()
                cols = range(t.nColumns)
                heads = []
                for c in cols:
                    h = t.getColumnHeader(c)
                    heads.append(h.name if h is not None else t.getColumnDescription(c))
                print("\t".join(heads))
                for r in range(t.nRows):
                    print("\t".join(t.getAccessibleAt(r, c).name for c in cols))
                return
        sys.exit(f"no table in {argv[2]!r}")
    else:
        sys.exit(f"unknown command {cmd}")


if __name__ == "__main__":
    main(sys.argv)

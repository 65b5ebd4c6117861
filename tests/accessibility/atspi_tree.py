#!/usr/bin/python3
"""Prints, as JSON, what an assistive technology sees of one process: every node shown on
screen, with its role, name, description and states, in tree order.

Usage: atspi_tree.py PID. Exits 1 when the process does not show up on the bus in time."""
import json
import sys
import time

import pyatspi

# Bounds, so a runaway tree cannot hang the test.
MAX_NODES = 5000
MAX_DEPTH = 60
WAIT_SECONDS = 60


def find_application(pid):
    deadline = time.monotonic() + WAIT_SECONDS
    while time.monotonic() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for application in desktop:
            if application is not None and application.get_process_id() == pid:
                return application
        time.sleep(0.2)
    return None


def walk(node, depth, out):
    if len(out) >= MAX_NODES or depth > MAX_DEPTH:
        return
    states = node.getState()
    # A hidden window or popup is not there for the user; neither is what it holds.
    if depth > 0 and not states.contains(pyatspi.STATE_SHOWING):
        return
    out.append({
        "depth": depth,
        "role": node.getRoleName(),
        "name": node.name or "",
        "description": node.description or "",
        "focusable": states.contains(pyatspi.STATE_FOCUSABLE),
        "enabled": states.contains(pyatspi.STATE_ENABLED),
    })
    for index in range(node.childCount):
        child = node.getChildAtIndex(index)
        if child is not None:
            walk(child, depth + 1, out)


def main():
    application = find_application(int(sys.argv[1]))
    if application is None:
        print("the process did not appear on the accessibility bus", file=sys.stderr)
        return 1
    nodes = []
    walk(application, 0, nodes)
    json.dump(nodes, sys.stdout, ensure_ascii=False)
    return 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/python3
# SPDX-License-Identifier: MIT
# Debian's own interpreter: python3-pyatspi is installed for it.
"""Prints the accessible tree of one running application as a screen reader reads it over
AT-SPI: one line per object, indented by its depth, "role|name|states" (the states a control
reports: checked, focusable, focused; those it is not in are left out).

usage: accessible_tree.py APPLICATION-NAME
Exits 1 when no application of that name is on the accessibility bus."""

import sys

import pyatspi

STATES = [("checked", pyatspi.STATE_CHECKED), ("focusable", pyatspi.STATE_FOCUSABLE),
          ("focused", pyatspi.STATE_FOCUSED)]


def walk(node, depth, out):
    if node is None:
        return
    try:
        states = node.getState()
        marks = [name for name, state in STATES if states.contains(state)]
        out.append("%s%s|%s|%s" % ("  " * depth, node.getRoleName(), node.name or "",
                                   ",".join(marks)))
        children = list(node)
    except Exception:  # an object that went while it was read: the next walk sees the rest
        return
    for child in children:
        walk(child, depth + 1, out)


def main():
    wanted = sys.argv[1]
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == wanted:
            out = []
            walk(app, 0, out)
            print("\n".join(out))
            return 0
    print("no application named %s on the accessibility bus" % wanted, file=sys.stderr)
    return 1


if __name__ == "__main__":
    sys.exit(main())

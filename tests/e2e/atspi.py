#!/usr/bin/python3
# The program as a screen reader sees it, through AT-SPI:
#   atspi.py tree APP          one line per object: indent, role, "|", name
#   atspi.py press APP NAME    does the press action of the button so named
#   atspi.py watch APP SECONDS prints "changed|TEXT" for each label whose text
#                              or name changes meanwhile
import sys
import pyatspi
from gi.repository import GLib


def application(name):
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and app.name == name:
            return app
    sys.exit("no application " + name)


def walk(node, depth=0):
    yield depth, node
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            yield from walk(child, depth + 1)


command, app = sys.argv[1], application(sys.argv[2])
if command == "tree":
    for depth, node in walk(app):
        print("%s%s|%s" % ("  " * depth, node.getRoleName(), node.name))
elif command == "press":
    for _, node in walk(app):
        if node.getRole() == pyatspi.ROLE_PUSH_BUTTON and node.name == sys.argv[3]:
            actions = node.queryAction()
            for i in range(actions.nActions):
                if actions.getName(i) == "Press":
                    actions.doAction(i)
                    sys.exit(0)
    sys.exit("no button " + sys.argv[3])
elif command == "watch":
    def told(event):
        if event.host_application.name != sys.argv[2]:
            return
        if event.source.getRole() in (pyatspi.ROLE_LABEL, pyatspi.ROLE_STATUS_BAR):
            print("changed|" + (event.source.name or ""), flush=True)
    pyatspi.Registry.registerEventListener(told, "object:property-change:accessible-name",
                                           "object:text-changed")
    GLib.timeout_add(int(float(sys.argv[3]) * 1000), pyatspi.Registry.stop)
    print("watching", flush=True)
    pyatspi.Registry.start()
elif command == "focused":
    for _, node in walk(app):
        if node.getState().contains(pyatspi.STATE_FOCUSED):
            print(node.name)

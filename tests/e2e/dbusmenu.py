#!/usr/bin/python3
# Reads a StatusNotifierItem's menu as a host does, over DBusMenu on the
# session bus: "dbusmenu.py layout" prints one line per item (indented by
# depth: its label, "[x]" or "[ ]" for a check mark, "(off)" when disabled,
# "---" for a separator); "dbusmenu.py click LABEL" clicks the item.
import sys
from gi.repository import Gio, GLib

bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)


def call(name, path, interface, method, args, reply):
    return bus.call_sync(name, path, interface, method, args, GLib.VariantType(reply),
                         Gio.DBusCallFlags.NONE, 5000, None).unpack()


items = call("org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher",
             "org.freedesktop.DBus.Properties", "Get",
             GLib.Variant("(ss)", ("org.kde.StatusNotifierWatcher",
                                   "RegisteredStatusNotifierItems")), "(v)")[0]
if not items:
    sys.exit("no item registered")
item = items[0]
service, _, path = item.partition("/")
path = "/" + path if path else "/StatusNotifierItem"
menu = call(service, path, "org.freedesktop.DBus.Properties", "Get",
            GLib.Variant("(ss)", ("org.kde.StatusNotifierItem", "Menu")), "(v)")[0]
if menu == "/NO_DBUSMENU":
    sys.exit("the item exports no menu")
layout = call(service, menu, "com.canonical.dbusmenu", "GetLayout",
              GLib.Variant("(iias)", (0, -1, [])), "(u(ia{sv}av))")[1]


def lines(node, depth, out):
    for child in node[2]:
        ident, props, _ = child
        if props.get("type") == "separator":
            text = "---"
        else:
            text = props.get("label", "").replace("_", "")
            if props.get("toggle-type") == "checkmark":
                text += " [x]" if props.get("toggle-state") == 1 else " [ ]"
            if props.get("enabled", True) is False:
                text += " (off)"
        out.append(("  " * depth + text, ident, text))
        lines(child, depth + 1, out)
    return out


everything = lines(layout, 0, [])
if sys.argv[1] == "layout":
    print("\n".join(line for line, _, _ in everything))
elif sys.argv[1] == "click":
    ident = next(i for _, i, text in everything if text.split(" [")[0] == sys.argv[2])
    call(service, menu, "com.canonical.dbusmenu", "Event",
         GLib.Variant("(isvu)", (ident, "clicked", GLib.Variant("i", 0), 0)), "()")

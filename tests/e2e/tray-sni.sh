#!/usr/bin/env bash
# A StatusNotifierItem host (the kind GNOME's AppIndicator and KDE's tray
# are) on a private session bus reads the tray's menu over DBusMenu: the same
# items in the same order with their check marks, captions that change with
# the line and the window, and items that work when clicked.
source "$(dirname "$0")/lib.sh"
BIN_DIR=$1
MENU="$(dirname "$0")/dbusmenu.py"

dbus-daemon --session --print-address=3 --nofork 3>"$E2E_TMP/bus-address" >/dev/null 2>&1 &
E2E_PIDS+=($!)
wait_for 20 test -s "$E2E_TMP/bus-address" || fail "no private session bus"
export DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$E2E_TMP/bus-address")
start_x
status-notifier-watcher >"$E2E_TMP/watcher.log" 2>&1 &
E2E_PIDS+=($!)
watcher_property() {
    dbus-send --session --print-reply --dest=org.kde.StatusNotifierWatcher /StatusNotifierWatcher \
        org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierWatcher "string:$1" 2>/dev/null
}
wait_for 20 watcher_property IsStatusNotifierHostRegistered || fail "no watcher: $(cat "$E2E_TMP/watcher.log")"
gtk-sni-tray-standalone >"$E2E_TMP/host.log" 2>&1 &
E2E_PIDS+=($!)
wait_for 20 sh -c "$(declare -f watcher_property); watcher_property IsStatusNotifierHostRegistered | grep -q true" \
    || fail "no host: $(cat "$E2E_TMP/host.log")"

dir=$(install_program "$BIN_DIR")
printf '[Connection]\r\nName=Demo ISP\r\n[Options]\r\nSound=0\r\n' >"$dir/obu.ini"
"$dir/obu" >"$E2E_TMP/out.txt" 2>&1 &
pid=$!
E2E_PIDS+=($pid)
wait_for 30 has_window_named "Obu Linekeeper v1.3" || fail "the main window did not appear"
wait_for 20 "$MENU" layout || fail "no menu on the bus: $("$MENU" layout 2>&1)"

expected="Setup
  Extras
  Connection
  Set Alarm
  Clear Alarm Time
Options
  Sound [ ]
  Connect on Start [ ]
  Minimize OBU on Connect [ ]
  Minimize DUN on Connect [ ]
  Redial if Line is Busy [x]
Launch Extras
Disconnect Timer
---
Vantor Studio Webpage
OBU Webpage
Help
---
About OBU
Hide OBU
Connect
Exit"
layout=$("$MENU" layout)
[[ "$layout" == "$expected" ]] || fail "the exported menu: $(diff <(echo "$expected") <(echo "$layout"))"

note "a check mark clicked on the host"
"$MENU" click "Sound" || fail "click"
wait_for 10 sh -c "'$MENU' layout | grep -qx '  Sound \[x\]'" || fail "no check mark: $("$MENU" layout)"

note "Connect from the host, and the caption follows the line"
"$MENU" click Connect || fail "click"
wait_for 30 grep -q "Connection established to Demo ISP" "$dir/log.txt" || fail "no connection: $(log_messages "$dir")"
wait_for 10 sh -c "'$MENU' layout | grep -qx Disconnect" || fail "still Connect: $("$MENU" layout)"

note "Hide OBU, then Show OBU"
"$MENU" click "Hide OBU" || fail "click"
wait_for 10 sh -c "! xdotool search --onlyvisible --name '^Obu Linekeeper v1.3\$' | grep -q ." || fail "the window stayed"
wait_for 10 sh -c "'$MENU' layout | grep -qx 'Show OBU'" || fail "no Show OBU: $("$MENU" layout)"
"$MENU" click "Show OBU" || fail "click"
wait_for 10 has_window_named "Obu Linekeeper v1.3" || fail "the window did not come back"

"$MENU" click Exit || fail "click"
wait_for 20 process_gone $pid || fail "Exit did not end the program"
echo "PASS"

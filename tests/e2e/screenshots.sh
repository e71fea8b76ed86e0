#!/usr/bin/env bash
# Walks the real program through every window and page and keeps a screenshot
# of each in build/screenshots: the splash, the main window's three middle
# pages, the settings panel's two pages, the extras editor's two pages, the
# reconnect and disconnect countdowns, the credits screen and the tray menu.
source "$(dirname "$0")/lib.sh"
BIN_DIR=$1

start_x
dir=$(install_program "$BIN_DIR")
printf '[Connection]\r\nName=Demo ISP\r\n[DTimer]\r\nValue=1\r\n[Extras Set]\r\n1=1\r\n5=1\r\n[Extras Name]\r\n1=News\r\n5=Mail\r\n[Extras Path]\r\n1=http://news.example/\r\n5=/bin/true\r\n[Lights]\r\n1=1\r\n' >"$dir/obu.ini"
"$dir/obu" >"$E2E_TMP/out.txt" 2>&1 &
pid=$!
E2E_PIDS+=($pid)

wait_for 20 sh -c "xdotool search --onlyvisible --pid $pid | grep -q ." || fail "no splash"
screenshot 01-splash
wait_for 30 has_window_named "Obu Linekeeper v1.3" || fail "the main window did not appear"
main=$(window_named "Obu Linekeeper v1.3")
main_width() { xwininfo -id "$main" | awk '/Width:/ {print $NF}'; }
width_is() { [[ "$(main_width)" == "$1" ]]; }
click() { xdotool mousemove --window "$1" "$2" "$3" click 1; }
# The visible window of the program with this client size, e.g. 305x398.
window_sized() {
    local id
    for id in $(xdotool search --onlyvisible --pid "$pid" 2>/dev/null); do
        xdotool getwindowgeometry "$id" 2>/dev/null | grep -q "Geometry: $1\$" && { echo "$id"; return 0; }
    done
    return 1
}
screenshot 02-main-information
click "$main" 380 139
screenshot 03-main-webpages
click "$main" 380 139
screenshot 04-main-programs
click "$main" 380 25
click "$main" 380 25

note "settings panel"
click "$main" 88 108
wait_for 10 width_is 602 || fail "the alarm page did not open"
screenshot 05-panel-alarm
click "$main" 538 174
wait_for 10 width_is 446 || fail "the panel did not close"
click "$main" 88 78
wait_for 10 width_is 602 || fail "the connection page did not open"
screenshot 06-panel-connection

note "the hidden pair opens the credits"
click "$main" 515 52
click "$main" 518 103
xdotool type --delay 20 "Kestrel Harbor Crew!"
click "$main" 518 146
xdotool type --delay 20 "mintgup"
click "$main" 488 174
wait_for 10 window_sized 305x398 >/dev/null || fail "the credits did not open"
screenshot 07-credits
click "$(window_sized 305x398)" 150 100
wait_for 10 sh -c '! xdotool search --onlyvisible --pid '"$pid"' | while read id; do xdotool getwindowgeometry $id; done | grep -q "Geometry: 305x398"' \
    || fail "a click did not close the credits"

note "extras editor"
click "$main" 88 137
wait_for 10 has_window_named "Edit Extras" || fail "the extras editor did not open"
editor=$(window_named "Edit Extras")
screenshot 08-extras-webpages
click "$editor" 79 178
screenshot 09-extras-programs
click "$editor" 356 177

note "tray menu as the window's popup menu"
xdotool mousemove --window "$main" 300 30 click 3
wait_for 10 has_window_named "OBU menu" || fail "the menu did not open"
screenshot 10-tray-menu
xdotool key Escape

note "a connection, its drop and the reconnect countdown"
click "$main" 88 167
wait_for 30 grep -q "Connection established to Demo ISP" "$dir/log.txt" || fail "no connection"
"$BIN_DIR/obu-line" drop all >/dev/null
wait_for 10 has_window_named "Reconnect" || fail "no Reconnect window"
screenshot 11-reconnect
wait_for 30 sh -c "[ \$(grep -c 'Connection established to Demo ISP' '$dir/log.txt') -eq 2 ]" || fail "no second connection"

note "the disconnect countdown, thirty seconds after the connection"
wait_for 60 window_sized 200x132 >/dev/null || fail "no disconnect countdown"
screenshot 12-disconnect-countdown
wmctrl -c "Obu Linekeeper v1.3"
wait_for 20 process_gone $pid || fail "the program did not end"
"$BIN_DIR/obu-line" hangup all >/dev/null 2>&1
echo "PASS"

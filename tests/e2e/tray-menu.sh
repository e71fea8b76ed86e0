#!/usr/bin/env bash
# The real program with a notification area (trayer): its icon appears; a left
# click brings the main window back; the tray menu, opened with a right click
# and driven with the keyboard as a user could, toggles an option straight into
# obu.ini, dials, opens the connection panel, and "Exit" ends the program.
source "$(dirname "$0")/lib.sh"
BIN_DIR=$1

start_x
start_trayer

dir=$(install_program "$BIN_DIR")
printf '[Connection]\r\nName=Demo ISP\r\n' >"$dir/obu.ini"
"$dir/obu" >"$E2E_TMP/out.txt" 2>&1 &
pid=$!
E2E_PIDS+=($pid)

main_width() { xwininfo -id "$(window_named "Obu Linekeeper v1.3")" | awk '/Width:/ {print $NF}'; }
width_is() { [[ "$(main_width)" == "$1" ]]; }

wait_for 30 icon_window || fail "the tray icon did not appear: $(cat "$E2E_TMP/out.txt")"
wait_for 10 locate_icon || fail "the tray icon has no size"
grep -q "no notification area" "$E2E_TMP/out.txt" && fail "a missing tray was reported with trayer running"
wait_for 30 has_window_named "Obu Linekeeper v1.3" || fail "the main window did not appear"

note "Hide OBU, then a left click on the icon brings the window back"
open_menu Up Up Up Return
wait_for 10 sh -c '! xdotool search --onlyvisible --name "^Obu Linekeeper v1.3$" | grep -q .' || fail "Hide OBU did not hide the window"
xdotool mousemove "$cx" "$cy" click 1
wait_for 10 has_window_named "Obu Linekeeper v1.3" || fail "a left click did not show the main window"

note "Options, Sound: written to obu.ini at once"
open_menu Down Down Right Return
wait_for 10 grep -q "^Sound=0" "$dir/obu.ini" || fail "the option did not reach obu.ini: $(cat -A "$dir/obu.ini")"
screenshot tray-menu-used

note "Setup, Connection: the panel slides open"
open_menu Down Right Down Return
wait_for 10 width_is 602 || fail "the panel did not open: width $(main_width)"
screenshot connection-panel
xdotool mousemove --window "$(window_named "Obu Linekeeper v1.3")" 538 174 click 1
wait_for 10 width_is 446 || fail "cancel did not close the panel: width $(main_width)"

note "Connect dials the chosen entry, and the same item disconnects"
open_menu Up Up Return
wait_for 30 grep -q "Connection established to Demo ISP" "$dir/log.txt" || fail "no connection: $(log_messages "$dir")"
open_menu Up Up Return
wait_for 10 grep -q "Disconnect requested by user" "$dir/log.txt" || fail "the item did not disconnect"
line_gone() { ! "$BIN_DIR/obu-line" connections | grep -q "Demo ISP"; }
wait_for 10 line_gone || fail "the connection is still up"

note "Exit ends the program"
open_menu Up Return
wait_for 20 process_gone $pid || fail "Exit did not end the program"
[[ "$(log_messages "$dir" | tail -n 1)" == "OBU Closed" ]] || fail "the log does not end with OBU Closed"
echo "PASS"

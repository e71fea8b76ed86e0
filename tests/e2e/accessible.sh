#!/usr/bin/env bash
# The main window as a screen reader finds it through AT-SPI: the skin's
# buttons are push buttons named after their captions, the panel's fields
# carry their captions' names, a button pressed through AT-SPI acts, and the
# status line's changes are told. Then the keyboard alone: Tab reaches
# Connect, and Enter presses it.
source "$(dirname "$0")/lib.sh"
BIN_DIR=$1
ATSPI="$(dirname "$0")/atspi.py"

dbus-daemon --session --print-address=3 --nofork 3>"$E2E_TMP/bus-address" >/dev/null 2>&1 &
E2E_PIDS+=($!)
wait_for 20 test -s "$E2E_TMP/bus-address" || fail "no private session bus"
export DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$E2E_TMP/bus-address")
start_x
/usr/libexec/at-spi-bus-launcher --launch-immediately >"$E2E_TMP/atspi.log" 2>&1 &
E2E_PIDS+=($!)
wait_for 20 dbus-send --session --dest=org.a11y.Bus --print-reply /org/a11y/bus org.a11y.Bus.GetAddress \
    || fail "no accessibility bus: $(cat "$E2E_TMP/atspi.log")"

dir=$(install_program "$BIN_DIR")
printf '[Connection]\r\nName=Demo ISP\r\n' >"$dir/obu.ini"
QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$dir/obu" >"$E2E_TMP/out.txt" 2>&1 &
pid=$!
E2E_PIDS+=($pid)
wait_for 30 has_window_named "Obu Linekeeper v1.3" || fail "the main window did not appear"
wait_for 20 sh -c "'$ATSPI' tree obu | grep -q 'push button|Exit'" || fail "no tree: $("$ATSPI" tree obu 2>&1 | head -30)"
"$ATSPI" tree obu >"$E2E_TMP/tree.txt"
for expected in "push button|Connection" "push button|Set Alarm" "push button|Extras" "push button|Connect" \
    "push button|Exit" "push button|OK" "push button|Cancel" "push button|Make Daily" "list|Dial-up entry" \
    "text|User name" "password text|Password" "spin button|Alarm time" "spin button|One-time date" \
    "label|Current Connection Name:" "label|Demo ISP"; do
    grep -q "^ *$expected\$" "$E2E_TMP/tree.txt" || fail "no \"$expected\" in: $(cat "$E2E_TMP/tree.txt")"
done

note "Connect pressed through AT-SPI, the status line's changes told"
"$ATSPI" watch obu 60 >"$E2E_TMP/told.txt" 2>&1 &
watcher=$!
E2E_PIDS+=($watcher)
wait_for 20 grep -q watching "$E2E_TMP/told.txt" || fail "the watcher did not start"
"$ATSPI" press obu Connect || fail "no press"
wait_for 30 grep -q "Connection established to Demo ISP" "$dir/log.txt" || fail "no connection: $(log_messages "$dir")"
wait_for 20 grep -q "changed|.*Connected" "$E2E_TMP/told.txt" || fail "the status was not told: $(cat "$E2E_TMP/told.txt")"
wait_for 10 sh -c "'$ATSPI' tree obu | grep -q 'push button|Disconnect'" || fail "the button is not named Disconnect"

note "the keyboard alone: Tab to Disconnect, Enter"
main=$(window_named "Obu Linekeeper v1.3")
xdotool windowactivate --sync "$main" 2>/dev/null || xdotool windowfocus --sync "$main"
tab_to() {
    for _ in $(seq 1 8); do
        [[ "$("$ATSPI" focused obu)" == "$1" ]] && return 0
        xdotool key --window "$main" Tab
        wait_for 5 sh -c "'$ATSPI' focused obu | grep -q ."
    done
    [[ "$("$ATSPI" focused obu)" == "$1" ]] || fail "Tab never reached $1: $("$ATSPI" focused obu)"
}
tab_to Disconnect
xdotool key --window "$main" Return
wait_for 20 grep -q "Disconnect requested by user" "$dir/log.txt" || fail "Enter did not press: $(log_messages "$dir")"

note "Enter opens the alarm page, Escape is its Cancel"
width_is() { xwininfo -id "$main" | grep -q "Width: $1\$"; }
tab_to "Set Alarm"
xdotool key --window "$main" Return
wait_for 10 width_is 602 || fail "the alarm page did not open"
xdotool key --window "$main" Escape
wait_for 10 width_is 446 || fail "Escape did not close the panel"

note "Shift+F10 opens the tray's menu from the main window"
xdotool key --window "$main" shift+F10
wait_for 10 menu_open || fail "no menu"
xdotool key Escape
wait_for 10 menu_closed || fail "Escape did not close the menu"

wmctrl -c "Obu Linekeeper v1.3"
wait_for 20 process_gone $pid || fail "the program did not end"
echo "PASS"

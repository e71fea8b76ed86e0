#!/usr/bin/env bash
# With the main window minimized, a drop and the reconnect after its count
# are told by desktop notifications with the program's icon; with the window
# in sight they are not; with no notification server the program goes on
# alone.
source "$(dirname "$0")/lib.sh"
BIN_DIR=$1
STAND_IN=$2

dbus-daemon --session --print-address=3 --nofork 3>"$E2E_TMP/bus-address" >/dev/null 2>&1 &
E2E_PIDS+=($!)
wait_for 20 test -s "$E2E_TMP/bus-address" || fail "no private session bus"
export DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$E2E_TMP/bus-address")
"$STAND_IN" >"$E2E_TMP/told.txt" 2>&1 &
server=$!
E2E_PIDS+=($server)
wait_for 20 grep -qx ready "$E2E_TMP/told.txt" || fail "the stand-in server: $(cat "$E2E_TMP/told.txt")"

start_x
dir=$(install_program "$BIN_DIR")
printf '[Connection]\r\nName=Demo ISP\r\nUsername=joe\r\nPassword=lzjyl{\r\n' >"$dir/obu.ini"
"$dir/obu" >"$E2E_TMP/out.txt" 2>&1 &
pid=$!
E2E_PIDS+=($pid)
wait_for 30 has_window_named "Obu Linekeeper v1.3" || fail "the main window did not appear"
main=$(window_named "Obu Linekeeper v1.3")
xdotool mousemove --window "$main" 88 167 click 1
wait_for 30 grep -q "Connection established to Demo ISP" "$dir/log.txt" || fail "no connection: $(log_messages "$dir")"

note "a drop while the window is minimized"
timeout 5 xdotool windowminimize --sync "$main"
"$BIN_DIR/obu-line" drop all >/dev/null || fail "obu-line drop"
wait_for 20 grep -q "|Reconnect|OBU has detected that your connection was cancelled" "$E2E_TMP/told.txt" \
    || fail "no drop told: $(cat "$E2E_TMP/told.txt")"
icon=$(sed -n 2p "$E2E_TMP/told.txt" | cut -d'|' -f1)
[[ "$icon" == "file://$dir/obu-icon.png" && -s "$dir/obu-icon.png" ]] || fail "the icon: $icon"
wait_for 30 grep -q "|Reconnect|Attempting to Reconnect.$" "$E2E_TMP/told.txt" \
    || fail "the reconnect was not told: $(cat "$E2E_TMP/told.txt")"
wait_for 30 sh -c "[ \$(grep -c 'Connection established to Demo ISP' '$dir/log.txt') -eq 2 ]" \
    || fail "the line did not come up again: $(log_messages "$dir")"

note "a drop with the window in sight"
# The drop brought the window forward.
wait_for 10 sh -c "! xprop -id $main _NET_WM_STATE | grep -q _NET_WM_STATE_HIDDEN" || fail "the window stayed minimized"
told=$(wc -l <"$E2E_TMP/told.txt")
"$BIN_DIR/obu-line" drop all >/dev/null || fail "obu-line drop"
wait_for 30 sh -c "[ \$(grep -c 'Connection established to Demo ISP' '$dir/log.txt') -eq 3 ]" \
    || fail "the line did not come up a third time: $(log_messages "$dir")"
[[ $(wc -l <"$E2E_TMP/told.txt") -eq $told ]] || fail "told in sight: $(cat "$E2E_TMP/told.txt")"

note "no notification server"
kill $server
wait_for 20 process_gone $server || fail "the stand-in did not end"
timeout 5 xdotool windowminimize --sync "$main"
"$BIN_DIR/obu-line" drop all >/dev/null || fail "obu-line drop"
wait_for 40 sh -c "[ \$(grep -c 'Connection established to Demo ISP' '$dir/log.txt') -eq 4 ]" \
    || fail "the line did not come up a fourth time: $(log_messages "$dir")"
wmctrl -c "Obu Linekeeper v1.3"
wait_for 20 process_gone $pid || fail "the program did not end"
echo "PASS"

#!/usr/bin/env bash
# The real program dials "Demo ISP" of the demo phone book when its button is
# clicked; each stage reaches log.txt; a drop from the provider's side opens
# the "Reconnect" window, which cannot be minimized out of sight, and after its
# countdown the line is up again.
source "$(dirname "$0")/lib.sh"
BIN_DIR=$1

start_x
dir=$(install_program "$BIN_DIR")
printf '[Connection]\r\nName=Demo ISP\r\nUsername=joe\r\nPassword=lzjyl{\r\n' >"$dir/obu.ini"
"$dir/obu" >"$E2E_TMP/out.txt" 2>&1 &
pid=$!
E2E_PIDS+=($pid)
wait_for 30 has_window_named "Obu Linekeeper v1.3" || fail "the main window did not appear"
main=$(window_named "Obu Linekeeper v1.3")

note "clicking Connect"
xdotool mousemove --window "$main" 88 167 click 1
wait_for 30 grep -q "Connection established to Demo ISP" "$dir/log.txt" || fail "no connection: $(log_messages "$dir")"
mapfile -t lines < <(log_messages "$dir")
expected=("OBU Launched" "Connect requested by user" "Sending username/password"
          "Username/Password authenticated by server" "Launching extras" "Connection established to Demo ISP")
[[ "${lines[*]}" == "${expected[*]}" ]] || fail "log: ${lines[*]}"
"$BIN_DIR/obu-line" connections | grep -q "Demo ISP" || fail "obu-line does not list the connection"
screenshot connected

note "the provider hangs up"
"$BIN_DIR/obu-line" drop all || fail "obu-line drop failed"
wait_for 10 has_window_named "Reconnect" || fail "no Reconnect window"
screenshot reconnect-countdown
reconnect=$(window_named "Reconnect")
xprop -id "$reconnect" _MOTIF_WM_HINTS | grep -q "= 0x3, 0x4, 0xa," || fail "the Reconnect window asks for a close box"
xprop -id "$reconnect" _NET_WM_STATE | grep -q _NET_WM_STATE_ABOVE || fail "the Reconnect window is not on top"
note "minimizing the Reconnect window brings it back"
# --sync returns once the window is unmapped; one put back at once may never
# be seen unmapped, hence the bound.
timeout 5 xdotool windowminimize --sync "$reconnect"
shown_whole() { has_window_named "Reconnect" && ! xprop -id "$reconnect" _NET_WM_STATE | grep -q _NET_WM_STATE_HIDDEN; }
wait_for 10 shown_whole || fail "the minimized Reconnect window stayed out of sight"
wmctrl -i -c "$reconnect"
sleep 0.5  # a close request that would be obeyed takes effect at once
has_window_named "Reconnect" || fail "a close request closed the Reconnect window"
wait_for 30 grep -q "Attempting to Reconnect." "$dir/log.txt" || fail "the countdown did not dial"
has_window_named "Reconnect" && fail "the Reconnect window stayed open"
wait_for 30 sh -c "[ \$(grep -c 'Connection established to Demo ISP' '$dir/log.txt') -eq 2 ]" \
    || fail "the line did not come up again: $(log_messages "$dir")"
"$BIN_DIR/obu-line" connections | grep -q "Demo ISP" || fail "the new connection is not listed"

note "Disconnect, then Exit leaves no connection"
xdotool mousemove --window "$main" 88 167 click 1
wait_for 10 grep -q "Disconnect requested by user" "$dir/log.txt" || fail "the disconnect was not logged"
line_gone() { ! "$BIN_DIR/obu-line" connections | grep -q "Demo ISP"; }
wait_for 10 line_gone || fail "the connection is still up"
wmctrl -c "Obu Linekeeper v1.3"
wait_for 20 process_gone $pid || fail "the program did not end"
echo "PASS"

#!/usr/bin/env bash
# obu --headless with "Connect on Start": the stages in order, a drop from the
# provider's side, the reconnect about eleven seconds later; a busy line
# redialled until it answers; exiting leaves the connection up.
source "$(dirname "$0")/lib.sh"
BIN_DIR=$1
unset DISPLAY WAYLAND_DISPLAY

dir=$(install_program "$BIN_DIR")
printf '[Connection]\r\nName=Demo ISP\r\nAutoConnect=1\r\n' >"$dir/obu.ini"
"$dir/obu" --headless >"$E2E_TMP/out.txt" 2>&1 &
pid=$!
E2E_PIDS+=($pid)
wait_for 30 grep -q "Connection established to Demo ISP" "$dir/log.txt" || fail "no connection: $(cat "$E2E_TMP/out.txt")"
mapfile -t lines < <(log_messages "$dir")
expected=("OBU Launched" "Connect requested by user" "Sending username/password"
          "Username/Password authenticated by server" "Launching extras" "Connection established to Demo ISP")
[[ "${lines[*]}" == "${expected[*]}" ]] || fail "log: ${lines[*]}"

note "the provider hangs up"
"$BIN_DIR/obu-line" drop all || fail "obu-line drop failed"
dropped=$SECONDS
wait_for 30 grep -q "Attempting to Reconnect." "$dir/log.txt" || fail "no reconnect: $(log_messages "$dir")"
waited=$((SECONDS - dropped))
[[ $waited -ge 9 ]] || fail "the reconnect came after only $waited s"
tail -n 2 "$dir/log.txt" | sed -e 's/\r$//' -e 's/^\[[^]]*\]: //' | paste -sd'|' | grep -qx "Connection Terminated by unknown source|Attempting to Reconnect." \
    || fail "reconnect lines: $(log_messages "$dir")"
wait_for 30 sh -c "[ \$(grep -c 'Connection established to Demo ISP' '$dir/log.txt') -eq 2 ]" || fail "the line did not come up again"

note "exiting leaves the connection up"
kill -TERM $pid
wait_for 20 process_gone $pid || fail "SIGTERM did not end the program"
"$BIN_DIR/obu-line" connections | grep -q "Demo ISP" || fail "the connection went down with the program"
"$BIN_DIR/obu-line" hangup all >/dev/null

note "a busy line is redialled until it answers"
dir=$(install_program "$BIN_DIR")
printf '[Connection]\r\nName=Demo Busy\r\nAutoConnect=1\r\n' >"$dir/obu.ini"
"$dir/obu" --headless >"$E2E_TMP/busy.txt" 2>&1 &
pid=$!
E2E_PIDS+=($pid)
wait_for 60 grep -q "Connection established to Demo Busy" "$dir/log.txt" || fail "no connection: $(log_messages "$dir")"
[[ $(grep -c "Line was busy - attempting to reconnect" "$dir/log.txt") -eq 2 ]] || fail "busy lines: $(log_messages "$dir")"
kill -TERM $pid
wait_for 20 process_gone $pid || fail "SIGTERM did not end the program"
"$BIN_DIR/obu-line" hangup all >/dev/null
echo "PASS"

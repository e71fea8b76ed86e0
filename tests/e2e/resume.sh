#!/usr/bin/env bash
# A wake from sleep told by a stand-in logind on a private bus: the keeper
# looks at its line at once, and a line still up stays kept.
source "$(dirname "$0")/lib.sh"
BIN_DIR=$1
STAND_IN=$2
unset DISPLAY WAYLAND_DISPLAY

dbus-daemon --session --nofork --print-address=1 >"$E2E_TMP/bus.address" 2>"$E2E_TMP/bus.log" &
E2E_PIDS+=($!)
wait_for 30 test -s "$E2E_TMP/bus.address" || fail "dbus-daemon did not start: $(cat "$E2E_TMP/bus.log")"
export DBUS_SYSTEM_BUS_ADDRESS=$(head -n1 "$E2E_TMP/bus.address")
mkfifo "$E2E_TMP/login.in"
"$STAND_IN" "$DBUS_SYSTEM_BUS_ADDRESS" <"$E2E_TMP/login.in" >"$E2E_TMP/login.out" 2>&1 &
E2E_PIDS+=($!)
exec 7>"$E2E_TMP/login.in"
wait_for 30 grep -q ready "$E2E_TMP/login.out" || fail "the stand-in logind did not start: $(cat "$E2E_TMP/login.out")"

dir=$(install_program "$BIN_DIR")
printf '[Connection]\r\nName=Demo ISP\r\nAutoConnect=1\r\n' >"$dir/obu.ini"
"$dir/obu" --headless >"$E2E_TMP/out.txt" 2>&1 &
pid=$!
E2E_PIDS+=($pid)
wait_for 30 grep -q "Connection established to Demo ISP" "$dir/log.txt" || fail "no connection: $(cat "$E2E_TMP/out.txt")"

note "going to sleep is not a wake; waking is"
echo sleep >&7
wait_for 10 sh -c "[ \$(grep -c sent '$E2E_TMP/login.out') -eq 1 ]" || fail "the stand-in sent nothing"
echo wake >&7
wait_for 10 sh -c "[ \$(grep -c sent '$E2E_TMP/login.out') -eq 2 ]" || fail "the stand-in sent nothing"
wait_for 30 grep -q "Awake after sleep: looking at the connection" "$dir/log.txt" || fail "the wake was not seen: $(log_messages "$dir")"
[[ $(grep -c "Awake after sleep" "$dir/log.txt") -eq 1 ]] || fail "going to sleep was taken for a wake: $(log_messages "$dir")"
grep -q "Connection Terminated by unknown source" "$dir/log.txt" && fail "a line still up was taken for lost: $(log_messages "$dir")"
"$BIN_DIR/obu-line" connections | grep -q "Demo ISP" || fail "the line is gone"
kill -TERM $pid
wait_for 20 process_gone $pid || fail "SIGTERM did not end the program"
"$BIN_DIR/obu-line" hangup all >/dev/null
exec 7>&-
echo "PASS"

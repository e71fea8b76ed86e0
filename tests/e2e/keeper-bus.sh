#!/usr/bin/env bash
# The keeper's control interface on a private session bus: obu --headless
# with "Demo ISP" offers org.obu.Linekeeper1; obu-line keeper connect brings
# the line up and status shows it; a drop from the provider's side is seen as
# a PropertiesChanged signal (State CountingDown, the count with it);
# obu-line keeper disconnect ends the session, and the keeper stays offline.
# Without a session bus the program runs as before, the interface absent.
source "$(dirname "$0")/lib.sh"
BIN_DIR=$1
unset DISPLAY WAYLAND_DISPLAY

dbus-daemon --session --print-address=3 --nofork 3>"$E2E_TMP/bus-address" >/dev/null 2>&1 &
bus_pid=$!
E2E_PIDS+=($bus_pid)
wait_for 20 test -s "$E2E_TMP/bus-address" || fail "no private session bus"
export DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$E2E_TMP/bus-address")

dir=$(install_program "$BIN_DIR")
printf '[Connection]\r\nName=Demo ISP\r\n' >"$dir/obu.ini"
"$dir/obu" --headless >"$E2E_TMP/out.txt" 2>&1 &
pid=$!
E2E_PIDS+=($pid)
wait_for 30 grep -q "OBU Launched" "$dir/log.txt" || fail "no launch: $(cat "$E2E_TMP/out.txt")"
wait_for 20 "$BIN_DIR/obu-line" keeper status || fail "no interface: $(cat "$E2E_TMP/out.txt")"
"$BIN_DIR/obu-line" keeper status >"$E2E_TMP/status.txt"
grep -qx "Entry: Demo ISP" "$E2E_TMP/status.txt" || fail "status: $(cat "$E2E_TMP/status.txt")"
grep -qx "State: Idle" "$E2E_TMP/status.txt" || fail "status: $(cat "$E2E_TMP/status.txt")"
grep -qx "Reconnect in: 0 s" "$E2E_TMP/status.txt" || fail "status: $(cat "$E2E_TMP/status.txt")"

note "connect"
dbus-monitor --session "type='signal',interface='org.freedesktop.DBus.Properties',path='/org/obu/Linekeeper1'" \
    >"$E2E_TMP/signals.txt" 2>&1 &
E2E_PIDS+=($!)
wait_for 20 grep -q "NameAcquired" "$E2E_TMP/signals.txt" || fail "dbus-monitor did not start"
before=$(date +%s)
"$BIN_DIR/obu-line" keeper connect || fail "keeper connect"
wait_for 30 sh -c "'$BIN_DIR/obu-line' keeper status | grep -qx 'State: Up'" || fail "not up: $("$BIN_DIR/obu-line" keeper status)"
since=$("$BIN_DIR/obu-line" keeper status | sed -n 's/^Since: .*(\([0-9]*\))$/\1/p')
[[ -n "$since" && $since -ge $before && $since -le $(date +%s) ]] || fail "since $since, connect at $before"
grep -q "Connection established to Demo ISP" "$dir/log.txt" || fail "log: $(log_messages "$dir")"
"$BIN_DIR/obu-line" --json keeper status >"$E2E_TMP/status.json" || fail "--json status"
python3 -c 'import json,sys; d=json.load(open(sys.argv[1])); assert d["entry"]=="Demo ISP" and d["state"]=="Up" and d["since"]==int(sys.argv[2]) and d["reconnectSeconds"]==0, d' \
    "$E2E_TMP/status.json" "$since" || fail "json: $(cat "$E2E_TMP/status.json")"
"$BIN_DIR/obu-line" --terse keeper status | grep -q "^Demo ISP:Up:$since:0:" || fail "terse: $("$BIN_DIR/obu-line" --terse keeper status)"
"$BIN_DIR/obu-line" --json keeper connect 2>/dev/null; [[ $? -eq 2 ]] || fail "--json taken for connect"

note "a drop is seen as a signal"
"$BIN_DIR/obu-line" drop all >/dev/null || fail "obu-line drop"
wait_for 30 grep -q '"CountingDown"' "$E2E_TMP/signals.txt" || fail "no signal: $(cat "$E2E_TMP/signals.txt")"
grep -q "member=PropertiesChanged" "$E2E_TMP/signals.txt" || fail "signals: $(cat "$E2E_TMP/signals.txt")"
wait_for 20 grep -q '"ReconnectSeconds"' "$E2E_TMP/signals.txt" || fail "no count: $(cat "$E2E_TMP/signals.txt")"
"$BIN_DIR/obu-line" keeper status | grep -Eq '^Reconnect in: [1-9][0-9]* s$' || fail "no count in status"

note "disconnect ends the session"
"$BIN_DIR/obu-line" keeper disconnect || fail "keeper disconnect"
wait_for 20 sh -c "'$BIN_DIR/obu-line' keeper status | grep -qx 'State: Idle'" || fail "still: $("$BIN_DIR/obu-line" keeper status)"
# Well past the ten-second count: nothing dials again.
wait_for 15 false
grep -q "Attempting to Reconnect." "$dir/log.txt" && fail "it reconnected: $(log_messages "$dir")"
"$BIN_DIR/obu-line" keeper status | grep -qx "State: Idle" || fail "not offline"
[[ -z "$("$BIN_DIR/obu-line" connections | grep 'Demo ISP')" ]] || fail "a line is still up"

note "up again, and disconnected while up"
"$BIN_DIR/obu-line" keeper connect || fail "keeper connect"
wait_for 30 sh -c "'$BIN_DIR/obu-line' keeper status | grep -qx 'State: Up'" || fail "not up again"
"$BIN_DIR/obu-line" keeper disconnect || fail "keeper disconnect"
wait_for 20 sh -c "'$BIN_DIR/obu-line' keeper status | grep -qx 'State: Idle'" || fail "still up"
wait_for 20 sh -c "! '$BIN_DIR/obu-line' connections | grep -q 'Demo ISP'" || fail "the line stayed up"

note "the end"
kill -TERM $pid
wait_for 20 process_gone $pid || fail "SIGTERM did not end the program"
"$BIN_DIR/obu-line" keeper status >/dev/null 2>&1 && fail "the interface outlived the program"
# The test's system bus has no logind; any other word of the program's is a complaint.
grep "obu:" "$E2E_TMP/out.txt" | grep -qv "logind cannot be reached" && fail "complaints: $(cat "$E2E_TMP/out.txt")"

note "without a session bus"
kill $bus_pid
wait_for 20 process_gone $bus_pid || fail "the bus did not end"
export DBUS_SESSION_BUS_ADDRESS="unix:path=$E2E_TMP/no-session-bus"
"$dir/obu" --headless >"$E2E_TMP/nobus.txt" 2>&1 &
pid=$!
E2E_PIDS+=($pid)
wait_for 30 grep -q "OBU Launched" "$E2E_TMP/nobus.txt" || fail "no launch: $(cat "$E2E_TMP/nobus.txt")"
kill -TERM $pid
wait_for 20 process_gone $pid || fail "SIGTERM did not end the program"
grep -q "OBU Closed" "$E2E_TMP/nobus.txt" || fail "no clean end: $(cat "$E2E_TMP/nobus.txt")"
grep "^obu:" "$E2E_TMP/nobus.txt" | grep -qv "logind cannot be reached" && fail "a bus complaint: $(cat "$E2E_TMP/nobus.txt")"
"$BIN_DIR/obu-line" keeper status >/dev/null 2>&1; [[ $? -eq 1 ]] || fail "status without a bus"
echo "PASS"

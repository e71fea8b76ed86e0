#!/usr/bin/env bash
# A line that is up but carries nothing: the program keeps a profile of a
# real NetworkManager whose far end answers on a TCP port; when that listener
# stops, three failed checks later the program hangs its line up, says why,
# and reconnects as after a drop.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/nm-sandbox.sh"
BIN_DIR=$1
listener=""
trap '[[ -n $listener ]] && kill "$listener" 2>/dev/null; nm_sandbox_stop; cleanup' EXIT
trap 'exit 143' TERM INT HUP
nm_sandbox_require
nm_sandbox_start
unset DISPLAY WAYLAND_DISPLAY
export OBU_NM_ALL_PROFILES=1
nmcli connection add connection.autoconnect no ipv6.method disabled type ethernet con-name obu-nm-line \
    ifname "$NM_LINK" ipv4.method manual ipv4.addresses 10.213.0.1/30 >/dev/null || fail "cannot add the profile"

note "the far end answers on a port"
ip netns exec "$NM_FAR_NETNS" python3 -c '
import socket, sys
s = socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(("10.213.0.2", 8181)); s.listen(16); print("listening", flush=True)
while True:
    c, _ = s.accept(); c.close()
' >"$E2E_TMP/listener.txt" 2>&1 &
listener=$!
wait_for 30 grep -q listening "$E2E_TMP/listener.txt" || fail "the far end does not listen: $(cat "$E2E_TMP/listener.txt")"

dir=$(install_program "$BIN_DIR")
printf '[Connection]\r\nName=obu-nm-line\r\nAutoConnect=1\r\nCheckHost=10.213.0.2:8181\r\nCheckSeconds=5\r\n' >"$dir/obu.ini"
# In NetworkManager's namespace, where the line leads; the bus is a file.
setpriv --pdeathsig KILL ip netns exec "$NM_NETNS" "$dir/obu" --headless >"$dir/out.txt" 2>&1 &
pid=$!
E2E_PIDS+=($pid)
wait_for 30 grep -q "Connection established to obu-nm-line" "$dir/log.txt" || fail "no connection: $(cat "$dir/out.txt")"
note "checks pass while the far end answers"
# Two checks or more, five seconds apart, must find nothing wrong.
sleep_until=$((SECONDS + 12))
while [[ $SECONDS -lt $sleep_until ]]; do
    grep -q "no traffic passes" "$dir/log.txt" && fail "a good line was taken for dead: $(log_messages "$dir")"
    sleep 1
done

note "the listener stops: the line is hung up and dialled again"
kill "$listener"
wait "$listener" 2>/dev/null
listener=""
wait_for 60 grep -q "The line is up but no traffic passes: 10.213.0.2:8181" "$dir/log.txt" ||
    fail "the dead line was not seen: $(log_messages "$dir")"
wait_for 30 grep -q "Attempting to Reconnect." "$dir/log.txt" || fail "no reconnect: $(log_messages "$dir")"
wait_for 30 sh -c "[ \$(grep -c 'Connection established to obu-nm-line' '$dir/log.txt') -eq 2 ]" ||
    fail "the line did not come up again: $(log_messages "$dir")"
kill -TERM $pid
wait_for 20 process_gone $pid || fail "SIGTERM did not end the program"
echo "PASS"

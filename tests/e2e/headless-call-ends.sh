#!/usr/bin/env bash
# obu --headless and the ends of a call that are no dropped line: a refused
# login is logged with the service's words and ends the session; a line that
# pppd ends by the entry's own idle limit is logged as such and not redialled.
source "$(dirname "$0")/lib.sh"
BIN_DIR=$1
unset DISPLAY WAYLAND_DISPLAY

note "a refused login"
dir=$(install_program "$BIN_DIR")
printf '[Connection]\r\nName=Demo Bad Password\r\nAutoConnect=1\r\n' >"$dir/obu.ini"
"$dir/obu" --headless >"$E2E_TMP/login.txt" 2>&1 &
pid=$!
E2E_PIDS+=($pid)
wait_for 60 grep -q "Connection Terminated by OBU" "$dir/log.txt" || fail "no failure logged: $(log_messages "$dir")"
mapfile -t lines < <(log_messages "$dir")
expected=("OBU Launched" "Connect requested by user" "Sending username/password"
          "Dial failed (error 691): Access was denied because the user name or password is not valid. - the provider ended the call"
          "Connection Terminated by OBU")
[[ "${lines[*]}" == "${expected[*]}" ]] || fail "log: $(printf '%s|' "${lines[@]}")"
"$BIN_DIR/obu-line" connections | grep -q "No connections." || fail "the failed call is still listed"
kill -TERM $pid
wait_for 20 process_gone $pid || fail "SIGTERM did not end the program"

note "pppd ends the line by the entry's own idle limit"
"$BIN_DIR/obu-modem" --link "$E2E_TMP/ttyIDLE" --ring-ms 100 >"$E2E_TMP/modem.out" 2>&1 &
E2E_PIDS+=($!)
wait_for 10 test -L "$E2E_TMP/ttyIDLE" || fail "obu-modem did not start"
# Stands in for pppd where the kernel has PPP: it brings the link up and
# ends it, as its idle option would, once told to.
cat >"$E2E_TMP/pppd" <<'EOF'
#!/bin/sh
read user <&3; read pass <&3
echo "Connect: ppp0 <--> $1"
echo 'PAP authentication succeeded'
echo 'local  IP address 10.0.0.2'
echo 'remote IP address 10.0.0.1'
while [ ! -e "$(dirname "$0")/idle" ]; do sleep 0.05; done
exit 12
EOF
chmod 755 "$E2E_TMP/pppd"
printf '[Idle Line]\nDevice=%s\nSpeed=115200\nPhoneNumber=555-0199\nPppOptions=idle 600\n' "$E2E_TMP/ttyIDLE" >"$OBU_PHONEBOOK"
dir=$(install_program "$BIN_DIR")
printf '[Connection]\r\nName=Idle Line\r\nAutoConnect=1\r\n' >"$dir/obu.ini"
OBU_PPPD="$E2E_TMP/pppd" "$dir/obu" --headless >"$E2E_TMP/idle.txt" 2>&1 &
pid=$!
E2E_PIDS+=($pid)
wait_for 60 grep -q "Connection established to Idle Line" "$dir/log.txt" || fail "no connection: $(cat "$E2E_TMP/idle.txt")"
touch "$E2E_TMP/idle"
wait_for 30 grep -q "Connection ended (error 926)" "$dir/log.txt" || fail "the idle end was not logged: $(log_messages "$dir")"
log_messages "$dir" | grep -qx "Connection ended (error 926): The connection reached a time or traffic limit of its own options. - pppd exit 12: the link was idle too long" \
    || fail "log: $(log_messages "$dir" | tail -n 2)"
# The drop watch decides in the tick that logs the end.
grep -q "unknown source" "$dir/log.txt" && fail "the idle end was taken for a dropped line"
kill -TERM $pid
wait_for 20 process_gone $pid || fail "SIGTERM did not end the program"
grep -q "Attempting to Reconnect" "$dir/log.txt" && fail "the line was redialled"
echo "PASS"

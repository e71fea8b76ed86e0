#!/usr/bin/env bash
# The real program and obu-line keeping a NetworkManager profile of a real
# NetworkManager in its sandbox: the profile listed beside the demo entries,
# Connect on Start, a drop by `nmcli connection down` and the reconnect about
# eleven seconds later, exit leaving the line up, Disconnect and the disconnect
# timer leaving it down, and a profile that cannot come up reported as a
# failed dial.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/nm-sandbox.sh"
BIN_DIR=$1
trap 'nm_sandbox_stop; cleanup' EXIT
trap 'exit 143' TERM INT HUP
nm_sandbox_require
nm_sandbox_start
unset DISPLAY WAYLAND_DISPLAY
# The sandbox has ethernet links only: every profile is an entry.
export OBU_NM_ALL_PROFILES=1
profile() { nmcli connection add connection.autoconnect no ipv6.method disabled "$@" >/dev/null || fail "cannot add $*"; }
profile type ethernet con-name obu-nm-line ifname "$NM_LINK" ipv4.method manual ipv4.addresses 10.213.0.1/30
profile type ethernet con-name obu-nm-elsewhere ifname obu9 ipv4.method manual ipv4.addresses 10.213.0.5/30
# Of the same name as a demo entry, which wins.
profile type ethernet con-name "Demo Drop" ifname obu9 ipv4.method manual ipv4.addresses 10.213.0.9/30

active() { nmcli -t -f NAME connection show --active | grep -qx "$1"; }
inactive() { ! active "$1"; }
# start_program DIR NAME: runs obu --headless in DIR with that entry and Connect on Start.
start_program() {
    printf '[Connection]\r\nName=%s\r\nAutoConnect=1\r\n%s' "$2" "${3:-}" >"$1/obu.ini"
    setpriv --pdeathsig KILL "$1/obu" --headless >"$1/out.txt" 2>&1 &
    pid=$!
    E2E_PIDS+=($pid)
}
stop_program() {
    kill -TERM "$pid"
    wait_for 20 process_gone "$pid" || fail "SIGTERM did not end the program"
}

note "obu-line lists the profile beside the demo entries, with their sources"
"$BIN_DIR/obu-line" entries >"$E2E_TMP/entries.txt" 2>"$E2E_TMP/entries.err" || fail "obu-line entries: $(cat "$E2E_TMP/entries.err")"
grep -qx $'Demo ISP\tphone book' "$E2E_TMP/entries.txt" || fail "entries: $(cat "$E2E_TMP/entries.txt")"
grep -qx $'obu-nm-line\tNetworkManager' "$E2E_TMP/entries.txt" || fail "entries: $(cat "$E2E_TMP/entries.txt")"
grep -qx $'Demo Drop\tphone book' "$E2E_TMP/entries.txt" || fail "entries: $(cat "$E2E_TMP/entries.txt")"
grep -q 'the NetworkManager connection "Demo Drop" is hidden' "$E2E_TMP/entries.err" || fail "the hidden profile was not told: $(cat "$E2E_TMP/entries.err")"

note "Connect on Start brings the profile up"
dir=$(install_program "$BIN_DIR")
start_program "$dir" obu-nm-line
wait_for 30 grep -q "Connection established to obu-nm-line" "$dir/log.txt" || fail "no connection: $(cat "$dir/out.txt")"
hidden='The NetworkManager connection "Demo Drop" is hidden by the phone book'"'"'s entry of the same name'
[[ $(grep -c "$hidden" "$dir/log.txt") -eq 1 ]] || fail "the hidden profile was not logged once: $(log_messages "$dir")"
mapfile -t lines < <(log_messages "$dir" | grep -v "$hidden")
expected=("OBU Launched" "Connect requested by user" "Launching extras" "Connection established to obu-nm-line")
[[ "${lines[*]}" == "${expected[*]}" ]] || fail "log: $(printf '%s|' "${lines[@]}")"
active obu-nm-line || fail "NetworkManager does not have the profile up"
"$BIN_DIR/obu-line" connections | grep -q "^obu-nm-line .*Connected" || fail "obu-line: $("$BIN_DIR/obu-line" connections)"

note "nmcli connection down from outside: the countdown, then the line up again"
nmcli connection down obu-nm-line >/dev/null || fail "nmcli could not take the profile down"
dropped=$SECONDS
wait_for 30 grep -q "Attempting to Reconnect." "$dir/log.txt" || fail "no reconnect: $(log_messages "$dir")"
waited=$((SECONDS - dropped))
[[ $waited -ge 9 ]] || fail "the reconnect came after only $waited s"
# The line may be up again a moment after the reconnect: the pair is looked for, not the last lines.
log_messages "$dir" | paste -sd'|' | grep -q "|Connection established to obu-nm-line|Connection Terminated by unknown source|Attempting to Reconnect." \
    || fail "reconnect lines: $(log_messages "$dir")"
wait_for 30 sh -c "[ \$(grep -c 'Connection established to obu-nm-line' '$dir/log.txt') -eq 2 ]" || fail "the line did not come up again: $(log_messages "$dir")"
wait_for 10 active obu-nm-line || fail "NetworkManager does not have the profile up again"

note "NetworkManager restarts, quickly and after 15 s away: the line is waited for and kept"
extras=$(grep -c "Launching extras" "$dir/log.txt")
for absence in 0 15; do
    waits=$(grep -c "Waiting for the connection's service" "$dir/log.txt")
    backs=$(grep -c "The connection's service is back; connection to obu-nm-line still up" "$dir/log.txt")
    nm_stop
    wait_for 30 sh -c "[ \$(grep -c \"Waiting for the connection's service\" '$dir/log.txt') -gt $waits ]" ||
        fail "NetworkManager's leaving was not seen: $(log_messages "$dir")"
    # The absence itself is what is tested: nothing may happen meanwhile.
    sleep "$absence"
    nm_start
    wait_for 60 sh -c "[ \$(grep -c \"still up\" '$dir/log.txt') -gt $backs ]" ||
        fail "the line was not found again: $(log_messages "$dir")"
done
log_messages "$dir" | grep -q "error 623" && fail "the session ended: $(log_messages "$dir")"
[[ $(grep -c "Connection Terminated by unknown source" "$dir/log.txt") -eq 1 ]] || fail "a restart was taken for a drop: $(log_messages "$dir")"
[[ $(grep -c "Launching extras" "$dir/log.txt") -eq $extras ]] || fail "the extras started again: $(log_messages "$dir")"
active obu-nm-line || fail "the profile is not up"
note "the line found again is kept: its drop counts down again"
nmcli connection down obu-nm-line >/dev/null || fail "nmcli could not take the profile down"
wait_for 30 sh -c "[ \$(grep -c 'Attempting to Reconnect.' '$dir/log.txt') -eq 2 ]" || fail "no reconnect: $(log_messages "$dir")"
wait_for 30 active obu-nm-line || fail "NetworkManager does not have the profile up again"
wait_for 30 sh -c "[ \$(grep -c 'Connection established to obu-nm-line' '$dir/log.txt') -eq 3 ]" || fail "the line did not come up: $(log_messages "$dir")"

note "brought back by hand during the count: followed, never taken down"
extras=$(grep -c "Launching extras" "$dir/log.txt")
nmcli connection down obu-nm-line >/dev/null || fail "nmcli could not take the profile down"
wait_for 10 inactive obu-nm-line || fail "the profile did not go down"
nmcli connection up obu-nm-line >/dev/null || fail "nmcli could not bring the profile up"
wait_for 30 grep -q "Connection to obu-nm-line is up again" "$dir/log.txt" || fail "the line up again was not followed: $(log_messages "$dir")"
[[ $(grep -c "Attempting to Reconnect." "$dir/log.txt") -eq 2 ]] || fail "it was dialled again: $(log_messages "$dir")"
[[ $(grep -c "Launching extras" "$dir/log.txt") -eq $extras ]] || fail "the extras started again: $(log_messages "$dir")"
grep -q "obu-nm-line.*deactivat" <(nmcli -t -f NAME,STATE connection show --active) && fail "the live line is being taken down"
active obu-nm-line || fail "the line brought back was taken down"

note "exiting leaves the profile up"
stop_program
active obu-nm-line || fail "the profile went down with the program"

note "obu-line hangs it up; the disconnect timer takes it down"
"$BIN_DIR/obu-line" hangup obu-nm-line | grep -q "^Hung up obu-nm-line" || fail "obu-line hangup"
wait_for 10 inactive obu-nm-line || fail "obu-line hangup left the profile up"
dir=$(install_program "$BIN_DIR")
start_program "$dir" obu-nm-line $'[DTimer]\r\nValue=1\r\n'
wait_for 30 grep -q "Connection established to obu-nm-line" "$dir/log.txt" || fail "no connection: $(cat "$dir/out.txt")"
wait_for 90 grep -q "Disconnection made by disconnect timer" "$dir/log.txt" || fail "the timer did not hang up: $(log_messages "$dir")"
wait_for 10 inactive obu-nm-line || fail "the profile stayed up after the disconnect timer"
stop_program

note "a profile that cannot come up is a failed dial"
dir=$(install_program "$BIN_DIR")
start_program "$dir" obu-nm-elsewhere
wait_for 30 grep -q "Connection Terminated by OBU" "$dir/log.txt" || fail "no failure logged: $(log_messages "$dir")"
log_messages "$dir" | grep -q "^Dial failed (error 608): .* - NetworkManager: " || fail "log: $(log_messages "$dir")"
stop_program

note "obu-line dials it"
"$BIN_DIR/obu-line" dial obu-nm-line >"$E2E_TMP/dial.txt" 2>&1 || fail "obu-line dial: $(cat "$E2E_TMP/dial.txt")"
grep -q "^Connected to obu-nm-line" "$E2E_TMP/dial.txt" || fail "obu-line dial: $(cat "$E2E_TMP/dial.txt")"
active obu-nm-line || fail "obu-line dial left the profile down"

note "the program finds the profile up, and Disconnect takes it down"
start_x
dir=$(install_program "$BIN_DIR")
printf '[Connection]\r\nName=obu-nm-line\r\n' >"$dir/obu.ini"
setpriv --pdeathsig KILL "$dir/obu" >"$dir/out.txt" 2>&1 &
pid=$!
E2E_PIDS+=($pid)
wait_for 30 has_window_named "Obu Linekeeper v1.3" || fail "the main window did not appear: $(cat "$dir/out.txt")"
main=$(window_named "Obu Linekeeper v1.3")
# The connect button reads Disconnect for a line found up; its click hangs up.
xdotool mousemove --window "$main" 88 167 click 1
wait_for 10 grep -q "Disconnect requested by user" "$dir/log.txt" || fail "the disconnect was not logged: $(log_messages "$dir")"
wait_for 10 inactive obu-nm-line || fail "Disconnect left the profile up"
wmctrl -c "Obu Linekeeper v1.3"
wait_for 20 process_gone $pid || fail "the program did not end"
echo "PASS"

#!/usr/bin/env bash
# The user unit obu-keeper.service, installed with the program: systemd-analyze
# verify accepts it; its ExecStart, run by an ordinary user with a fresh home
# folder, keeps the line and ends cleanly on SIGTERM. Into the journal's
# stream (JOURNAL_STREAM naming its stdout) the log lines go without time
# stamps, with their priority. obu --entry ... writes the settings without the
# windows: alone it ends, with --headless it runs on; a running copy's settings
# are left alone; Connect on Start without a connection is kept and said.
source "$(dirname "$0")/lib.sh"
BUILD_DIR=$2
unset DISPLAY WAYLAND_DISPLAY OBU_LINES_DIR OBU_PHONEBOOK
# The installed copy would keep the password in the keyring of whoever runs
# the tests: no session bus here (keyring.sh brings a keyring of its own).
export DBUS_SESSION_BUS_ADDRESS="unix:path=$E2E_TMP/no-session-bus"
prefix="$E2E_TMP/prefix"
cmake --install "$BUILD_DIR" --prefix "$prefix" >"$E2E_TMP/install.txt" || fail "install: $(cat "$E2E_TMP/install.txt")"
unit="$prefix/lib/systemd/user/obu-keeper.service"
[[ -f "$unit" ]] || fail "no unit: $(find "$prefix" -name '*.service')"
config="$E2E_HOME/.config/obu"
state="$E2E_HOME/.local/state/obu"

note "systemd-analyze verify"
runtime="$E2E_TMP/runtime"
mkdir -m 0700 "$runtime"
verify() {
    MANPATH="$prefix/share/man" XDG_RUNTIME_DIR="$runtime" HOME="$E2E_TMP" \
        systemd-analyze verify --user "$1" >"$E2E_TMP/verify.txt" 2>&1
}
verify "$unit" || fail "verify: $(cat "$E2E_TMP/verify.txt")"
sed 's|/bin/obu |/bin/obu-missing |' "$unit" >"$E2E_TMP/broken.service"
verify "$E2E_TMP/broken.service" && fail "verify passed a unit whose program is missing"
grep -qx "ExecStart=$prefix/bin/obu --headless" "$unit" || fail "ExecStart: $(grep ExecStart "$unit")"
grep -qx "Restart=on-failure" "$unit" || fail "no restart on failure"
read -r -a command <<<"$(sed -n 's/^ExecStart=//p' "$unit")"

# start_keeper OUT [ARG...]: the unit's command (and ARGs) as the user, its
# output into OUT; the journal's stream when JOURNAL is set.
start_keeper() {
    local out=$1; shift
    : >"$out"
    local stream=()
    [[ -n "${JOURNAL:-}" ]] && stream=(JOURNAL_STREAM="$(stat -c '%d:%i' "$out")")
    "${AS_USER[@]}" "${stream[@]}" "${command[@]}" "$@" >>"$out" 2>&1 &
    pid=$!
    E2E_PIDS+=($pid)
    wait_for 20 grep -q "OBU Launched" "$out" || fail "no launch: $(cat "$out")"
}
stop_keeper() {
    kill -TERM $pid
    wait_for 20 process_gone $pid || fail "SIGTERM did not end the keeper"
    wait $pid; local status=$?
    [[ $status -eq 0 ]] || fail "exit status $status: $(cat "$1")"
    grep -q "OBU Closed" "$1" || fail "no close in the output: $(cat "$1")"
    grep -q "OBU Closed" "$state/log.txt" || fail "no close in the log"
}

note "the unit's command, ended by SIGTERM"
start_keeper "$E2E_TMP/plain.txt"
stop_keeper "$E2E_TMP/plain.txt"
grep -q '^\[.*\]: OBU Launched' "$E2E_TMP/plain.txt" || fail "plain lines: $(cat "$E2E_TMP/plain.txt")"

note "settings without the windows"
printf 'sesame\r\nignored\n' | "${AS_USER[@]}" "$prefix/bin/obu" --entry "Demo ISP" --user joe --password-stdin \
    --connect-on-start >"$E2E_TMP/set.txt" 2>&1 || fail "--entry: $(cat "$E2E_TMP/set.txt")"
grep -q "^Stored in $config/obu.ini" "$E2E_TMP/set.txt" || fail "said: $(cat "$E2E_TMP/set.txt")"
ini="$config/obu.ini"
for line in "Name=Demo ISP" "Username=joe" "AutoConnect=1"; do
    grep -qx "$line"$'\r' "$ini" || fail "no CRLF line $line: $(cat -A "$ini")"
done
grep -q "sesame" "$ini" && fail "the password stored as it is"
[[ $(stat -c %a "$ini") == 600 ]] || fail "obu.ini mode $(stat -c %a "$ini")"
[[ -e "$state/obu.lock" ]] && grep -q . "$state/obu.lock" 2>/dev/null && fail "the lock outlived the writer"
"${AS_USER[@]}" "$prefix/bin/obu" --user x >"$E2E_TMP/user.txt" 2>&1 || fail "--user for the stored entry: $(cat "$E2E_TMP/user.txt")"
grep -qx $'Username=x\r' "$ini" || fail "user not changed: $(cat -A "$ini")"
"${AS_USER[@]}" "$prefix/bin/obu" --entry "Demo ISP" --user joe --password-stdin </dev/null >"$E2E_TMP/nopw.txt" 2>&1 \
    && fail "an empty standard input was taken as a password"
grep -qx $'Username=x\r' "$ini" || fail "a failed write changed obu.ini"

note "into the journal, with the settings written"
JOURNAL=1 start_keeper "$E2E_TMP/journal.txt"
wait_for 30 grep -q "Connection established to Demo ISP" "$E2E_TMP/journal.txt" || fail "no connection: $(cat "$E2E_TMP/journal.txt")"
grep -qx "<6>OBU Launched" "$E2E_TMP/journal.txt" || fail "journal lines: $(cat "$E2E_TMP/journal.txt")"
grep -qx "<6>Connection established to Demo ISP" "$E2E_TMP/journal.txt" || fail "journal lines: $(cat "$E2E_TMP/journal.txt")"
grep -q '^\[' "$E2E_TMP/journal.txt" && fail "time stamps in the journal: $(cat "$E2E_TMP/journal.txt")"
note "a running copy's settings are left alone"
cp "$ini" "$E2E_TMP/ini-before"
"${AS_USER[@]}" "$prefix/bin/obu" --entry "Demo Busy" >"$E2E_TMP/busy.txt" 2>&1 && fail "written under a running copy"
grep -q "a running copy keeps these settings" "$E2E_TMP/busy.txt" || fail "said: $(cat "$E2E_TMP/busy.txt")"
cmp -s "$ini" "$E2E_TMP/ini-before" || fail "obu.ini changed under the running copy"
stop_keeper "$E2E_TMP/journal.txt"
grep -qx "<6>OBU Closed" "$E2E_TMP/journal.txt" || fail "journal lines: $(cat "$E2E_TMP/journal.txt")"
"${AS_USER[@]}" "$prefix/bin/obu-line" hangup all >/dev/null

note "failures as errors; --entry with --headless runs on"
JOURNAL=1 start_keeper "$E2E_TMP/fail.txt" --entry "Demo Bad Password" --connect-on-start
wait_for 30 grep -q "^<3>Dial failed" "$E2E_TMP/fail.txt" || fail "no error line: $(cat "$E2E_TMP/fail.txt")"
stop_keeper "$E2E_TMP/fail.txt"
grep -qx $'Name=Demo Bad Password\r' "$ini" || fail "not stored: $(cat -A "$ini")"
grep -qx $'Username=\r' "$ini" || fail "another entry's user name taken over: $(cat -A "$ini")"

note "Connect on Start without a connection is kept and said"
printf '[Connection]\r\nAutoConnect=1\r\n' >"$ini"
start_keeper "$E2E_TMP/held.txt"
wait_for 20 grep -q "Connect on Start is set but no connection is chosen" "$E2E_TMP/held.txt" || fail "not said: $(cat "$E2E_TMP/held.txt")"
stop_keeper "$E2E_TMP/held.txt"
grep -qx $'AutoConnect=1\r' "$ini" || fail "rewritten: $(cat -A "$ini")"
"${AS_USER[@]}" "$prefix/bin/obu" --connect-on-start >"$E2E_TMP/alone.txt" 2>&1 || fail "--connect-on-start: $(cat "$E2E_TMP/alone.txt")"
grep -q "no connection is chosen" "$E2E_TMP/alone.txt" || fail "not said: $(cat "$E2E_TMP/alone.txt")"
echo "PASS"

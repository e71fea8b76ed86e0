#!/usr/bin/env bash
# Another local user against the one running copy and the demo dials: the
# copy's socket lives in a folder of its user's own that no one else may enter
# (the runtime folder, else one made in the shared temporary folder); a name
# taken there first by another user is said and never listened at or called;
# what a killed copy left goes at its next start; locks laid in the shared lock
# folder under every pseudo-terminal's name do not stop a demo dial, which
# takes no lock, and killed demo dialers leave none behind.
source "$(dirname "$0")/lib.sh"
BIN_DIR=$1
unset DISPLAY WAYLAND_DISPLAY
if [[ $(id -u) -ne 0 ]]; then
    echo "SKIP: a second user can only be made by root"
    exit 77
fi
# The system's own, which every user may run.
python=$(PATH=/usr/local/bin:/usr/bin:/bin command -v python3) \
    || fail "python3 is missing (tools/install-deps.sh --test installs it)"
intruder=obu-intruder
id "$intruder" >/dev/null 2>&1 \
    || useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$intruder" \
    || fail "cannot create the user $intruder"
# Run in the foreground only: in the background its $! would be a subshell's.
as_intruder() { setpriv --reuid="$intruder" --regid="$intruder" --clear-groups -- "$@"; }
in_background=(setpriv --reuid="$intruder" --regid="$intruder" --clear-groups --)
victim_uid=65534

shared="$E2E_TMP/tmp"
mkdir -m 1777 "$shared" && chmod 1777 "$shared"
dir=$(install_program "$BIN_DIR")
chown -R "$victim_uid" "$dir"
start() { # start NAME [VAR=VALUE...]: the victim's copy in the background; $pid
    local name=$1; shift
    "${AS_USER[@]}" TMPDIR="$shared" "$@" "$dir/obu" --headless >"$E2E_TMP/$name.txt" 2>&1 &
    pid=$!
    E2E_PIDS+=($pid)
    wait_for 20 grep -q "OBU Launched" "$E2E_TMP/$name.txt" || fail "$name did not launch: $(cat "$E2E_TMP/$name.txt")"
}
stop() {
    kill -TERM "$pid"
    wait_for 20 process_gone "$pid" || fail "SIGTERM did not end the program"
}
second_start() { # second_start NAME [VAR=VALUE...]: exit status in $status
    "${AS_USER[@]}" TMPDIR="$shared" "${@:2}" "$dir/obu" --headless >"$E2E_TMP/$1.txt" 2>&1 &
    local second=$!
    wait_for 20 process_gone $second || fail "the second copy kept running"
    wait $second; status=$?
}

note "without a runtime folder: a private folder of the user's own"
start first
private=$(find "$shared" -maxdepth 1 -name "obu-linekeeper-$victim_uid-*")
[[ -n "$private" && $(stat -c '%u %a' "$private") == "$victim_uid 700" ]] || fail "folder: $(ls -la "$shared")"
[[ -S "$private/socket" ]] || fail "no socket in $private"
as_intruder "$python" -c 'import socket,sys; socket.socket(socket.AF_UNIX).connect(sys.argv[1])' "$private/socket" 2>/dev/null \
    && fail "another user could connect to the socket"
second_start second
[[ $status -eq 0 ]] && grep -q "already running" "$E2E_TMP/second.txt" || fail "second start ($status): $(cat "$E2E_TMP/second.txt")"
stop
[[ -e "$private" ]] && fail "the private folder stayed after a normal end"

note "what a killed copy left goes at its next start"
start killed
kill -KILL "$pid"
wait "$pid" 2>/dev/null
[[ -S "$private/socket" ]] || fail "the kill left nothing to clear"
start next
grep -q "cannot bring this copy forward" "$E2E_TMP/next.txt" && fail "$(cat "$E2E_TMP/next.txt")"
second_start again
[[ $status -eq 0 ]] || fail "the copy after a kill does not answer: $(cat "$E2E_TMP/again.txt")"
stop
[[ -e "$private" ]] && fail "the private folder stayed"

note "another user takes the folder's name first and listens in it"
as_intruder mkdir -m 0777 "$private"
calls="$E2E_TMP/intruder/calls"
mkdir "$E2E_TMP/intruder" && chown "$intruder" "$E2E_TMP/intruder"
"${in_background[@]}" "$python" - "$private/socket" "$calls" <<'PY' &
import os, socket, sys
server = socket.socket(socket.AF_UNIX)
server.bind(sys.argv[1])
os.chmod(sys.argv[1], 0o777)
server.listen(5)
open(sys.argv[2], "a").close()
while True:
    peer, _ = server.accept()
    open(sys.argv[2], "a").write("called\n")
    peer.sendall(b"ok\n")
    peer.close()
PY
E2E_PIDS+=($!)
wait_for 10 test -e "$calls" || fail "the intruder's socket did not start"
start squatted
grep -q "obu: $private belongs to another user (uid $(id -u "$intruder")); a later start cannot bring this copy forward" \
    "$E2E_TMP/squatted.txt" || fail "not said: $(cat "$E2E_TMP/squatted.txt")"
second_start refused
[[ $status -eq 1 ]] && grep -q "does not answer: $private belongs to another user" "$E2E_TMP/refused.txt" \
    || fail "second start ($status): $(cat "$E2E_TMP/refused.txt")"
[[ -s "$calls" ]] && fail "the other user's socket was called"
stop

note "with a runtime folder the name taken in the temporary folder does not matter"
runtime="$E2E_TMP/runtime"
mkdir -m 0700 "$runtime" && chown "$victim_uid" "$runtime"
start session XDG_RUNTIME_DIR="$runtime"
grep -q "cannot bring" "$E2E_TMP/session.txt" && fail "$(cat "$E2E_TMP/session.txt")"
[[ -S $(echo "$runtime"/obu-linekeeper-*) ]] || fail "no socket in the runtime folder: $(ls -la "$runtime")"
second_start forward XDG_RUNTIME_DIR="$runtime"
[[ $status -eq 0 ]] && grep -q "already running" "$E2E_TMP/forward.txt" || fail "second start: $(cat "$E2E_TMP/forward.txt")"
[[ -s "$calls" ]] && fail "the other user's socket was called"
stop

note "locks laid under every pseudo-terminal's name do not stop a demo dial"
locks="$E2E_TMP/locks"
mkdir -m 1777 "$locks" && chmod 1777 "$locks"
"${in_background[@]}" sleep 600 &
sleeper=$!
E2E_PIDS+=($sleeper)
as_intruder sh -c 'for i in $(seq 0 300); do printf "%10d\n" "$2" >"$1/LCK..$i"; done' sh "$locks" "$sleeper" \
    || fail "the other user could not lay the locks"
line() { "${AS_USER[@]}" OBU_LOCK_DIR="$locks" OBU_LINES_DIR="$E2E_HOME/lines" "$BIN_DIR/obu-line" "$@"; }
line dial "Demo ISP" >"$E2E_TMP/dial.txt" 2>&1 || fail "dial: $(cat "$E2E_TMP/dial.txt")"
[[ $(find "$locks" -user "$victim_uid" | wc -l) -eq 0 ]] || fail "a lock was taken: $(ls -la "$locks")"
[[ $(find "$locks" -user "$intruder" | wc -l) -eq 301 ]] || fail "the other user's files changed"
line hangup all >/dev/null || fail "hangup failed"

note "demo dialers killed in the middle of a call leave no lock"
for n in 1 2 3 4 5 6; do
    "${AS_USER[@]}" OBU_LOCK_DIR="$locks" OBU_LINES_DIR="$E2E_HOME/lines" "$BIN_DIR/obu-line" dial "Demo ISP" \
        >"$E2E_TMP/killed-$n.txt" 2>&1 &
    dialer=$!
    wait_for 20 grep -q "Connecting device" "$E2E_TMP/killed-$n.txt" || fail "dial $n: $(cat "$E2E_TMP/killed-$n.txt")"
    kill -KILL "$dialer"
    wait "$dialer" 2>/dev/null
done
line hangup all >/dev/null
[[ $(find "$locks" -user "$victim_uid" | wc -l) -eq 0 ]] || fail "killed dialers left locks: $(ls -la "$locks")"
echo "PASS"

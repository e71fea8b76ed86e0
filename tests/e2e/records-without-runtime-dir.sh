#!/usr/bin/env bash
# A line dialled in the desktop session (XDG_RUNTIME_DIR set) is seen and hung
# up by obu-line started without XDG_RUNTIME_DIR, as from cron or su: the
# records are looked for in /run/user/UID when that folder is the user's own
# and private, never in one that is not. The test gets a /run/user of its own
# in a private mount namespace, so the machine's is left alone.
source "$(dirname "$0")/lib.sh"
BIN_DIR=$1
unset DISPLAY WAYLAND_DISPLAY
if [[ -z "${OBU_IN_NAMESPACE:-}" ]]; then
    if ! unshare --mount --propagation private true 2>/dev/null; then
        echo "SKIP: no private mount namespace can be made here"
        exit 77
    fi
    OBU_IN_NAMESPACE=1 exec unshare --mount --propagation private bash "$0" "$@"
fi
mount -t tmpfs -o mode=0755 obu-test /run/user || fail "cannot mount a /run/user of the test"
runtime="/run/user/$(id -u)"
mkdir -m 0700 "$runtime"
unset OBU_LINES_DIR
export XDG_STATE_HOME="$E2E_TMP/state"
line() { "$BIN_DIR/obu-line" "$@"; }

note "dialled in the session"
XDG_RUNTIME_DIR="$runtime" line dial "Demo ISP" >"$E2E_TMP/dial.txt" 2>&1 || fail "dial: $(cat "$E2E_TMP/dial.txt")"
[[ -e "$runtime/obu-lines/state" ]] || fail "the records are not in $runtime/obu-lines"

note "seen and hung up without XDG_RUNTIME_DIR"
env -u XDG_RUNTIME_DIR "$BIN_DIR/obu-line" connections >"$E2E_TMP/list.txt" 2>&1 || fail "connections: $(cat "$E2E_TMP/list.txt")"
grep -q "^Demo ISP  *Connected" "$E2E_TMP/list.txt" || fail "the line is not seen: $(cat "$E2E_TMP/list.txt")"
env -u XDG_RUNTIME_DIR "$BIN_DIR/obu-line" hangup all >"$E2E_TMP/hangup.txt" 2>&1 || fail "hangup: $(cat "$E2E_TMP/hangup.txt")"
grep -q "^Hung up Demo ISP" "$E2E_TMP/hangup.txt" || fail "hangup: $(cat "$E2E_TMP/hangup.txt")"
XDG_RUNTIME_DIR="$runtime" line connections | grep -q "^No connections.$" || fail "the line is still up"
[[ -e "$XDG_STATE_HOME/obu/lines" ]] && fail "records were looked for in the state folder"

note "a runtime folder open to others is not used"
chmod 0755 "$runtime"
env -u XDG_RUNTIME_DIR "$BIN_DIR/obu-line" connections >/dev/null 2>&1 || fail "connections"
[[ -e "$XDG_STATE_HOME/obu/lines/state" ]] || fail "the state folder was not used in its place"
echo "PASS"

#!/usr/bin/env bash
# Files in the registry folder that obu-line must not trust: a FIFO named like
# a record hangs neither a listing nor a dial, and a record that names a live
# process without its start time (or with another one) never has that
# process signalled by `obu-line hangup all` or `drop all`.
source "$(dirname "$0")/lib.sh"
BIN_DIR=$1
unset DISPLAY WAYLAND_DISPLAY
# A hang shows as a failure, not as a test that never ends.
line() { timeout 60 "$BIN_DIR/obu-line" "$@"; }

note "a FIFO named like a record"
mkdir -p -m 700 "$OBU_LINES_DIR"
mkfifo "$OBU_LINES_DIR/conn-0000000A"
line connections >"$E2E_TMP/list.txt" 2>&1 || fail "connections: $(cat "$E2E_TMP/list.txt")"
grep -q "^No connections." "$E2E_TMP/list.txt" || fail "connections: $(cat "$E2E_TMP/list.txt")"
line dial "Demo ISP" >"$E2E_TMP/dial.txt" 2>&1 || fail "dial: $(cat "$E2E_TMP/dial.txt")"
grep -q "^Connected to Demo ISP" "$E2E_TMP/dial.txt" || fail "dial: $(cat "$E2E_TMP/dial.txt")"
line connections | grep -q "^Demo ISP" || fail "the connection is not listed"
line hangup all >"$E2E_TMP/hangup.txt" 2>&1 || fail "hangup: $(cat "$E2E_TMP/hangup.txt")"
[[ -p "$OBU_LINES_DIR/conn-0000000A" ]] || fail "the FIFO was taken for a record"

note "records naming a live process without its own start time"
sleep 600 &
victim=$!
E2E_PIDS+=("$victim")
start_of() { sed 's/.*) //' "/proc/$1/stat" | cut -d' ' -f20; }
victim_start=$(start_of "$victim")
now=$(($(date +%s) * 1000))
# forge HANDLE HOLDER_START: a line that is up, held by the sleeping process.
forge() {
    printf '%s\n' "handle=$1" state=8192 error=0 "owner=$$" "ownerStart=$(start_of $$)" \
        "startedAt=$now" "connectedAt=$now" dropAt=0 entry=Forged phone= \
        device=Forged%20Modem deviceType=modem user= "holder=$victim" "holderStart=$2" \
        holderKind=emulator >"$OBU_LINES_DIR/.forged"
    mv "$OBU_LINES_DIR/.forged" "$OBU_LINES_DIR/conn-$1"
}
for command in hangup drop; do
    forge 0000F00D 0
    forge 0000F00E $((victim_start + 1))
    line "$command" all >"$E2E_TMP/$command.txt" 2>&1 || fail "$command all: $(cat "$E2E_TMP/$command.txt")"
    grep -q "Forged" "$E2E_TMP/$command.txt" && fail "$command all acted on a forged line"
    kill -0 "$victim" 2>/dev/null || fail "$command all signalled a process named by a forged record"
    line connections | grep -q "^Forged" && fail "a forged line is listed"
done
echo "PASS"

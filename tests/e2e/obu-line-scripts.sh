#!/usr/bin/env bash
# obu-line from scripts, where a shell is needed (the exit statuses and the
# JSON are tested by tests/unit/tools): a failed write to standard output,
# Ctrl-C during a dial said once, the bash completion, and the history with
# its totals read back as text and as JSON.
source "$(dirname "$0")/lib.sh"
BIN_DIR=$1
SOURCE_DIR=$(cd "$(dirname "$0")/../.." && pwd)
unset DISPLAY WAYLAND_DISPLAY
line() { "$BIN_DIR/obu-line" "$@"; }

# status EXPECTED DESCRIPTION ARGS...: runs obu-line ARGS and checks its exit status.
status() {
    local expected=$1 what=$2; shift 2
    line "$@" >"$E2E_TMP/out.txt" 2>"$E2E_TMP/err.txt"
    local got=$?
    [[ $got -eq $expected ]] || fail "$what: exit status $got, not $expected: $(cat "$E2E_TMP/out.txt" "$E2E_TMP/err.txt")"
    printf '  %-2s %s\n' "$got" "$what"
}

note "a failed write"
line entries >/dev/full 2>"$E2E_TMP/err.txt" && fail "a write to a full disk exited 0"
grep -q "cannot write" "$E2E_TMP/err.txt" || fail "not said: $(cat "$E2E_TMP/err.txt")"
line --json connections >/dev/full 2>/dev/null && fail "a JSON write to a full disk exited 0"

note "Ctrl-C during a dial"
# Not through the function: the signal must reach obu-line itself.
"$BIN_DIR/obu-line" dial "Demo No Answer" >"$E2E_TMP/dial.txt" 2>"$E2E_TMP/dial-err.txt" &
pid=$!
E2E_PIDS+=($pid)
wait_for 30 grep -q "Connecting device" "$E2E_TMP/dial.txt" || fail "the dial did not start: $(cat "$E2E_TMP/dial.txt")"
kill -INT $pid
wait_for 30 process_gone $pid || fail "Ctrl-C did not end the dial"
wait $pid
[[ $? -eq 1 ]] || fail "a cancelled dial did not exit 1"
[[ "$(cat "$E2E_TMP/dial-err.txt")" == "obu-line: dial cancelled; hanging up" ]] \
    || fail "stderr: $(head -c 2000 "$E2E_TMP/dial-err.txt") ($(wc -l <"$E2E_TMP/dial-err.txt") lines)"
line connections | grep -q "^No connections.$" || fail "the cancelled dial is still up: $(line connections)"

note "bash completion"
# complete WORDS...: what the completion offers for the last of WORDS, one a line.
complete_words() {
    PATH="$BIN_DIR:$PATH" bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1))
        _obu_line; printf "%s\n" "${COMPREPLY[@]}"' _ "$SOURCE_DIR/packaging/obu-line.bash-completion" "$@"
}
[[ "$(complete_words obu-line hi)" == history ]] || fail "commands: $(complete_words obu-line hi)"
[[ "$(complete_words obu-line dial 'Demo\ B' | sort | tr '\n' ,)" == "Demo Bad Password,Demo Busy," ]] \
    || fail "entries: $(complete_words obu-line dial 'Demo\ B')"
complete_words obu-line hangup a | grep -qx all || fail "hangup all: $(complete_words obu-line hangup a)"
complete_words obu-line --j | grep -qx -- --json || fail "options: $(complete_words obu-line --j)"

note "history"
history="$E2E_TMP/history.tsv"
status 0 "history, no file" history --history "$history"
grep -q "^No sessions.$" "$E2E_TMP/out.txt" || fail "history: $(cat "$E2E_TMP/out.txt")"
printf '%s\n' '# entry	start	end	ended	bytes received	bytes sent' \
    'Demo ISP	2026-01-31T23:30:00Z	2026-02-01T00:15:00Z	dropped	1200	300' \
    'Demo ISP	2026-02-01T10:00:00Z	2026-02-01T11:00:00Z	hung up		' >"$history"
TZ=UTC status 0 "history" history --history "$history"
grep -qE "^  2026-01-31 +0:30:00$" "$E2E_TMP/out.txt" && grep -qE "^  2026-02-01 +1:15:00$" "$E2E_TMP/out.txt" \
    && grep -qE "^  2026-01 +0:30:00$" "$E2E_TMP/out.txt" && grep -qE "^  2026-02 +1:15:00$" "$E2E_TMP/out.txt" \
    || fail "history totals: $(cat "$E2E_TMP/out.txt")"
TZ=UTC line --json history --history "$history" >"$E2E_TMP/history.json" || fail "history --json"
python3 - "$E2E_TMP/history.json" <<'PY' || fail "history --json: $(cat "$E2E_TMP/history.json")"
import json, sys
data = json.load(open(sys.argv[1]))
assert [s["seconds"] for s in data["sessions"]] == [2700, 3600], data
assert data["sessions"][0]["bytesReceived"] == 1200 and data["sessions"][1]["bytesSent"] is None, data
assert data["days"] == [{"day": "2026-01-31", "seconds": 1800}, {"day": "2026-02-01", "seconds": 4500}], data
assert data["months"] == [{"month": "2026-01", "seconds": 1800}, {"month": "2026-02", "seconds": 4500}], data
PY
echo "PASS"

#!/usr/bin/env bash
# obu-line from scripts: its exit statuses as a table, each case run for real;
# --json read back by a JSON parser and --terse split on its unescaped colons,
# names with control characters and colons included; a failed write to
# standard output; Ctrl-C during a dial said once; the history and its totals.
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

note "exit statuses"
status 0 "entries" entries
status 0 "hangup all, nothing up" hangup all
cp "$E2E_TMP/out.txt" "$E2E_TMP/all.txt"
status 0 "hangup ENTRY, nothing up" hangup "Demo ISP"
cmp -s "$E2E_TMP/out.txt" "$E2E_TMP/all.txt" || fail "hangup ENTRY and all differ: $(cat "$E2E_TMP/out.txt")"
status 1 "dial, the provider refuses the login" dial "Demo Bad Password"
grep -q "error 691" "$E2E_TMP/err.txt" || fail "no code on stderr: $(cat "$E2E_TMP/err.txt")"
status 2 "an unknown command" frobnicate
status 2 "--terse and --json together" --terse --json entries
status 2 "--json for dial" --json dial "Demo ISP"
status 3 "dial, no such entry" dial "No Such Entry"
grep -q "error 623" "$E2E_TMP/err.txt" || fail "no code on stderr: $(cat "$E2E_TMP/err.txt")"
status 4 "dial, the line is busy" dial "Demo Always Busy"
grep -q "error 676" "$E2E_TMP/err.txt" || fail "no code on stderr: $(cat "$E2E_TMP/err.txt")"
status 0 "dial" dial "Demo ISP"
status 4 "dial, the modem is in use" dial "Demo ISP"
status 3 "hangup ENTRY, another one up" hangup "Demo Busy"
status 0 "hangup ENTRY" hangup "Demo ISP"
foreign="$E2E_TMP/foreign-lines"
mkdir -m 0700 "$foreign"
if [[ $(id -u) -eq 0 ]]; then chown 65534 "$foreign"; else chmod 000 "$foreign"; fi
OBU_LINES_DIR="$foreign" status 5 "connections, records of another user" connections
OBU_LINES_DIR="$foreign" status 5 "hangup all, records of another user" hangup all
chmod 0700 "$foreign"

note "a failed write"
line entries >/dev/full 2>"$E2E_TMP/err.txt" && fail "a write to a full disk exited 0"
grep -q "cannot write" "$E2E_TMP/err.txt" || fail "not said: $(cat "$E2E_TMP/err.txt")"
line --json connections >/dev/full 2>/dev/null && fail "a JSON write to a full disk exited 0"

note "--json and --terse with hostile names"
# The name holds a colon, a backslash and the single-byte CSI (U+009B typed in UTF-8).
printf '[Odd\x9b31m: ISP\\x]\nDevice=Sim\e]2;pwned\a Modem\nPortDelay=50\nDialDelay=300\nAuthDelay=50\nProjectDelay=50\n' >"$OBU_PHONEBOOK"
typed=$'Odd\xc2\x9b31m: ISP\\x'
line --json entries >"$E2E_TMP/entries.json" 2>/dev/null || fail "entries --json"
python3 - "$E2E_TMP/entries.json" <<'PY' || fail "entries --json: $(cat -A "$E2E_TMP/entries.json")"
import json, sys
data = json.load(open(sys.argv[1], encoding="utf-8"))
assert data == [{"name": "Odd\x9b31m: ISP\\x", "source": "phone book"}], data
PY
LC_ALL=C grep -qaP '[\x00-\x08\x0b-\x1f\x7f]|\xc2[\x80-\x9f]' "$E2E_TMP/entries.json" && fail "raw controls in JSON"
line --terse entries >"$E2E_TMP/entries.txt" 2>/dev/null || fail "entries --terse"
[[ "$(cat "$E2E_TMP/entries.txt")" == 'Odd\\x9b31m\: ISP\\x:phone book' ]] || fail "entries --terse: $(cat -A "$E2E_TMP/entries.txt")"
line dial "$typed" >/dev/null 2>&1 || fail "dial of the odd name"
line --json connections >"$E2E_TMP/connections.json" 2>/dev/null || fail "connections --json"
python3 - "$E2E_TMP/connections.json" <<'PY' || fail "connections --json: $(cat -A "$E2E_TMP/connections.json")"
import json, sys
data = json.load(open(sys.argv[1], encoding="utf-8"))
assert len(data) == 1, data
c = data[0]
assert c["entry"] == "Odd\x9b31m: ISP\\x" and c["state"] == "connected", c
assert c["device"] == "Sim\x1b]2;pwned\x07 Modem" and c["port"].startswith("/dev/pts/"), c
assert c["handle"].startswith("0x") and c["holder"]["pid"] > 0, c
PY
line --terse connections >"$E2E_TMP/connections.txt" || fail "connections --terse"
# Split on the colons that no backslash escapes: ten fields.
fields=$(sed 's/\\\\/\x01/g; s/\\:/\x02/g' "$E2E_TMP/connections.txt" | awk -F: '{print NF}')
[[ $fields -eq 10 ]] || fail "connections --terse: $fields fields: $(cat -A "$E2E_TMP/connections.txt")"
grep -qF 'Sim\\x1b]2;pwned\\x07 Modem' "$E2E_TMP/connections.txt" || fail "device: $(cat -A "$E2E_TMP/connections.txt")"
line hangup all >/dev/null || fail "hangup all"
line --json connections | python3 -c 'import json,sys; assert json.load(sys.stdin) == []' || fail "no connections as JSON"
[[ -z "$(line --terse connections)" ]] || fail "no connections in --terse is no line"
rm -f "$OBU_PHONEBOOK"

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

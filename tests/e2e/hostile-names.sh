#!/usr/bin/env bash
# Phone-book values made to act on a terminal (an entry name with the
# single-byte CSI, a Device= with an escape sequence that retitles the
# terminal, a DeviceType= that clears it, a device path with colours): every
# obu-line command and obu --headless show them escaped, on the terminal and in
# log.txt, while the entry is still dialled by its real name.
source "$(dirname "$0")/lib.sh"
BIN_DIR=$1
unset DISPLAY WAYLAND_DISPLAY

# raw FILE: the lines of FILE holding a control character other than the tab
# and the line end, or a C1 control in either encoding (the names here are
# otherwise plain ASCII).
raw() { LC_ALL=C sed 's/\r$//' "$1" | LC_ALL=C grep -naP '[\x00-\x08\x0b-\x1f\x7f-\x9f]'; }
clean() { [[ -z "$(raw "$1")" ]] || fail "raw control characters in $2: $(raw "$1" | cat -A)"; }

# The phone book is single-byte here: the name holds the byte 0x9b, which a
# command line in UTF-8 gives as U+009B.
name=$'Evil \x9b31m ISP'
typed=$'Evil \xc2\x9b31m ISP'
shown='Evil \x9b31m ISP'
printf '[%s]\nDevice=Sim\e]2;pwned\a Modem\nDeviceType=mo\e[2Jdem\nPortDelay=50\nDialDelay=300\nAuthDelay=50\nProjectDelay=50\n' \
    "$name" >"$OBU_PHONEBOOK"
printf '[Painted]\nDevice=/dev/tty\e[31mRED\nPhoneNumber=1\n' >>"$OBU_PHONEBOOK"

note "obu-line entries"
"$BIN_DIR/obu-line" entries >"$E2E_TMP/entries.txt" 2>&1 || fail "entries: $(cat -A "$E2E_TMP/entries.txt")"
clean "$E2E_TMP/entries.txt" "the entries"
grep -qxF "$shown"$'\tphone book' "$E2E_TMP/entries.txt" || fail "entries: $(cat -A "$E2E_TMP/entries.txt")"
[[ $(wc -l <"$E2E_TMP/entries.txt") -eq 2 ]] || fail "entries: $(cat -A "$E2E_TMP/entries.txt")"

note "dialled by its real name, shown escaped"
"$BIN_DIR/obu-line" dial "$typed" >"$E2E_TMP/dial.txt" 2>&1 || fail "dial: $(cat -A "$E2E_TMP/dial.txt")"
clean "$E2E_TMP/dial.txt" "the dial"
grep -qF "Connected to $shown (handle" "$E2E_TMP/dial.txt" || fail "dial: $(cat -A "$E2E_TMP/dial.txt")"
"$BIN_DIR/obu-line" connections >"$E2E_TMP/connections.txt" 2>&1 || fail "connections failed"
clean "$E2E_TMP/connections.txt" "the connections"
grep -qF "$shown" "$E2E_TMP/connections.txt" && grep -qF 'Sim\x1b]2;pwned\x07 Modem on /dev/pts/' "$E2E_TMP/connections.txt" \
    && grep -qF '(mo\x1b[2Jdem)' "$E2E_TMP/connections.txt" || fail "connections: $(cat -A "$E2E_TMP/connections.txt")"
"$BIN_DIR/obu-line" hangup "$typed" >"$E2E_TMP/hangup.txt" 2>&1 || fail "hangup: $(cat -A "$E2E_TMP/hangup.txt")"
clean "$E2E_TMP/hangup.txt" "the hang-up"
grep -qF "Hung up $shown" "$E2E_TMP/hangup.txt" || fail "hangup: $(cat -A "$E2E_TMP/hangup.txt")"

note "a failure's detail names the device"
"$BIN_DIR/obu-line" dial Painted >"$E2E_TMP/painted.txt" 2>&1 && fail "a missing device was dialled"
clean "$E2E_TMP/painted.txt" "the failure"
grep -qF '/dev/tty\x1b[31mRED' "$E2E_TMP/painted.txt" || fail "failure: $(cat -A "$E2E_TMP/painted.txt")"

note "obu --headless: the log and its echo"
dir=$(install_program "$BIN_DIR")
printf '[Connection]\r\nName=%s\r\nAutoConnect=1\r\n' "$name" >"$dir/obu.ini"
"$dir/obu" --headless >"$E2E_TMP/out.txt" 2>&1 &
pid=$!
E2E_PIDS+=($pid)
wait_for 30 grep -qF "Connection established to $shown" "$dir/log.txt" || fail "no connection: $(cat -A "$E2E_TMP/out.txt")"
kill -TERM $pid
wait_for 20 process_gone $pid || fail "SIGTERM did not end the program"
clean "$dir/log.txt" "log.txt"
clean "$E2E_TMP/out.txt" "the echo"
grep -q "^OBU Closed$" <(log_messages "$dir") || fail "log: $(cat -A "$dir/log.txt")"
"$BIN_DIR/obu-line" hangup all >/dev/null
echo "PASS"

#!/usr/bin/env bash
# A program folder that the user cannot write to: the failures are reported in
# the error box, the program keeps running and ends normally, and obu.ini is
# left exactly as it was.
source "$(dirname "$0")/lib.sh"
BIN_DIR=$1
dir=$(install_program "$BIN_DIR")
unset DISPLAY WAYLAND_DISPLAY
printf '[Options]\r\nSound=0\r\n[Position]\r\nx=300\r\ny=200\r\n' >"$dir/obu.ini"
before=$(md5sum <"$dir/obu.ini")
chmod 0644 "$dir/obu.ini"

run=("$dir/obu" --headless)
if [[ $(id -u) -eq 0 ]]; then
    # Permissions do not stop root: run as an ordinary user instead.
    chmod 0755 "$E2E_TMP" "$dir"
    run=(setpriv --reuid=65534 --regid=65534 --clear-groups "${run[@]}")
else
    chmod 0555 "$dir"
fi
"${run[@]}" >"$E2E_TMP/out.txt" 2>&1 &
pid=$!
E2E_PIDS+=($pid)
wait_for 20 grep -q "File access denied" "$E2E_TMP/out.txt" || fail "no error box for the log: $(cat "$E2E_TMP/out.txt")"
grep -q "\[message box\] OBU v1.3: File access denied. \[OK\]" "$E2E_TMP/out.txt" || fail "box text: $(cat "$E2E_TMP/out.txt")"
kill -0 $pid || fail "the program ended after the error box"
kill -TERM $pid
wait_for 20 process_gone $pid || fail "SIGTERM did not end the program"
wait $pid; status=$?
[[ $status -eq 0 ]] || fail "exit status $status"
grep -q "Unable to write to $dir/obu.ini." "$E2E_TMP/out.txt" || fail "no box for the settings: $(cat "$E2E_TMP/out.txt")"
[[ "$(md5sum <"$dir/obu.ini")" == "$before" ]] || fail "obu.ini changed"
chmod 0755 "$dir"
echo "PASS"

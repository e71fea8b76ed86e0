#!/usr/bin/env bash
# A program folder that the user cannot write to keeps its settings and log in
# the XDG folders, with no error box. When those cannot be written either (the
# log's place taken by a folder, the settings folder read-only), each failure
# is reported with the file's name, the program keeps running and ends
# normally, and obu.ini is left exactly as it was.
source "$(dirname "$0")/lib.sh"
BIN_DIR=$1
dir=$(install_program "$BIN_DIR")
unset DISPLAY WAYLAND_DISPLAY
chmod 0555 "$dir"
config="$E2E_HOME/.config/obu"
state="$E2E_HOME/.local/state/obu"

start() {
    rm -f "$E2E_TMP/out.txt"
    "${AS_USER[@]}" "$dir/obu" --headless >"$E2E_TMP/out.txt" 2>&1 &
    pid=$!
    E2E_PIDS+=($pid)
}
stop() {
    kill -0 $pid || fail "the program ended early: $(cat "$E2E_TMP/out.txt")"
    kill -TERM $pid
    wait_for 20 process_gone $pid || fail "SIGTERM did not end the program"
    wait $pid; status=$?
    [[ $status -eq 0 ]] || fail "exit status $status"
}

note "a read-only program folder"
start
wait_for 20 grep -q "OBU Launched" "$E2E_TMP/out.txt" || fail "no launch: $(cat "$E2E_TMP/out.txt")"
stop
grep -q "message box" "$E2E_TMP/out.txt" && fail "an error box: $(cat "$E2E_TMP/out.txt")"
[[ -f "$config/obu.ini" && -f "$state/log.txt" ]] || fail "no files in the XDG folders"

note "XDG folders that cannot be written"
printf '[Options]\r\nSound=0\r\n[Position]\r\nx=300\r\ny=200\r\n' >"$config/obu.ini"
before=$(md5sum <"$config/obu.ini")
rm -f "$state/log.txt" "$state/log.1.txt"
mkdir "$state/log.txt"
chmod 0555 "$config"
start
wait_for 20 grep -q "File access denied" "$E2E_TMP/out.txt" || fail "no error box for the log: $(cat "$E2E_TMP/out.txt")"
grep -qF "[message box] OBU v1.3: File access denied: $state/log.txt. [OK]" "$E2E_TMP/out.txt" || fail "box text: $(cat "$E2E_TMP/out.txt")"
stop
grep -qF "Unable to write to $config/obu.ini." "$E2E_TMP/out.txt" || fail "no box for the settings: $(cat "$E2E_TMP/out.txt")"
[[ "$(md5sum <"$config/obu.ini")" == "$before" ]] || fail "obu.ini changed"
chmod 0755 "$dir" "$config"
echo "PASS"

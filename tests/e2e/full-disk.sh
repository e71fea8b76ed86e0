#!/usr/bin/env bash
# A full disk where the lock and the log live: the program still starts,
# without the guard against a second copy, and says why (not that another copy
# holds the lock); the log's failure names the file; SIGTERM ends it normally.
# Needs a small tmpfs of its own, so root; skipped otherwise.
source "$(dirname "$0")/lib.sh"
BIN_DIR=$1
unset DISPLAY WAYLAND_DISPLAY
full="$E2E_TMP/full"
mkdir -p "$full"
if [[ $(id -u) -ne 0 ]] || ! mount -t tmpfs -o size=64k,mode=0777 tmpfs "$full" 2>/dev/null; then
    echo "SKIP: cannot mount a tmpfs here"
    exit 77
fi
trap 'umount "$full" 2>/dev/null; cleanup' EXIT
dir=$(install_program "$BIN_DIR")
touch "$dir/obu.installed"
mkdir -p "$full/state/obu" "$full/config"
chown -R 65534:65534 "$full/state" "$full/config"
dd if=/dev/zero of="$full/filler" bs=4k 2>/dev/null
"${AS_USER[@]}" XDG_STATE_HOME="$full/state" XDG_CONFIG_HOME="$full/config" "$dir/obu" --headless >"$E2E_TMP/out.txt" 2>&1 &
pid=$!
E2E_PIDS+=($pid)
wait_for 20 grep -q "running without the guard" "$E2E_TMP/out.txt" || fail "no word about the guard: $(cat "$E2E_TMP/out.txt")"
grep -q "No space left on device" "$E2E_TMP/out.txt" || fail "the reason is missing: $(cat "$E2E_TMP/out.txt")"
grep -q "another copy" "$E2E_TMP/out.txt" && fail "took the full disk for another copy: $(cat "$E2E_TMP/out.txt")"
wait_for 20 grep -qF "$full/state/obu/log.txt" "$E2E_TMP/out.txt" || fail "the log's box does not name it: $(cat "$E2E_TMP/out.txt")"
kill -TERM $pid
wait_for 20 process_gone $pid || fail "SIGTERM did not end the program"
wait $pid; status=$?
[[ $status -eq 0 ]] || fail "exit status $status: $(cat "$E2E_TMP/out.txt")"
echo "PASS"

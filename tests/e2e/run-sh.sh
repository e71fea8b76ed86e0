#!/usr/bin/env bash
# The README's first command on a fresh clone without a display: ./run.sh
# builds the program with everything it needs beside it and runs it headless;
# the demo entry then dials through the modem emulator that it built.
source "$(dirname "$0")/lib.sh"
SOURCE_DIR=$2
BUILD_DIR=$3
unset DISPLAY WAYLAND_DISPLAY

# The clone lives in the build folder, whose files the source's git ignores.
clone="$BUILD_DIR/run-sh-clone"
rm -rf "$clone"
git clone --quiet --no-hardlinks "$SOURCE_DIR" "$clone" || fail "could not clone $SOURCE_DIR"
trap 'cleanup; rm -rf "$clone"' EXIT
# Paths below the clone are cached relative to it, so a later run of this
# test (wherever its clone lies) builds from the compiler cache.
export CCACHE_BASEDIR="$clone"

HOME="$E2E_HOME" "$clone/run.sh" >"$E2E_TMP/run.txt" 2>&1 &
pid=$!
E2E_PIDS+=($pid)
# A build of the program from nothing on a small machine: minutes, not seconds.
wait_for 1500 grep -q "OBU Launched" "$E2E_TMP/run.txt" ||
    fail "run.sh did not start the program: $(tail -n 20 "$E2E_TMP/run.txt")"
grep -q "No display found: running Obu Linekeeper headless" "$E2E_TMP/run.txt" || fail "no word of headless: $(head -n 5 "$E2E_TMP/run.txt")"
for file in obu obu-windows obu-line obu-modem help.hlp obu-background.jpg face-connect.png obuclick.okx obu.okx; do
    [[ -s "$clone/build/bin/$file" ]] || fail "run.sh built no $file"
done

note "the demo entry dials through the emulator"
"$clone/build/bin/obu-line" dial "Demo ISP" >"$E2E_TMP/dial.txt" 2>&1 || fail "dial failed: $(cat "$E2E_TMP/dial.txt")"
"$clone/build/bin/obu-line" connections | grep -q "Demo ISP" || fail "no connection listed"
"$clone/build/bin/obu-line" hangup all >/dev/null

kill -TERM $pid
wait_for 30 process_gone $pid || fail "SIGTERM did not end the program"
grep -q "OBU Closed" "$E2E_TMP/run.txt" || fail "the program did not close the normal way"
echo "PASS"

#!/usr/bin/env bash
# obu --headless in an empty folder, ended by SIGTERM: two log lines, every
# setting saved; a second copy in the same folder only wakes the first; a lock
# left by a killed copy does not block the next start; Qt has nothing to warn
# about on such a start.
source "$(dirname "$0")/lib.sh"
BIN_DIR=$1
dir=$(install_program "$BIN_DIR")
unset DISPLAY WAYLAND_DISPLAY
# A desktop session's runtime folder, as every normal start has one.
export XDG_RUNTIME_DIR="$E2E_TMP/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"

"$dir/obu" --headless >"$E2E_TMP/out.txt" 2>&1 &
pid=$!
E2E_PIDS+=($pid)
wait_for 20 grep -q "OBU Launched" "$E2E_TMP/out.txt" || fail "no launch line on standard output"

note "a second start in the same folder"
"$dir/obu" --headless >"$E2E_TMP/second.txt" 2>&1 &
second=$!
wait_for 20 process_gone $second || fail "the second copy kept running"
wait $second || fail "the second copy failed: $(cat "$E2E_TMP/second.txt")"
grep -q "already running" "$E2E_TMP/second.txt" || fail "the second copy said: $(cat "$E2E_TMP/second.txt")"
[[ $(wc -l <"$dir/log.txt") -eq 1 ]] || fail "the second copy touched the log"

note "SIGTERM ends the program normally"
kill -TERM $pid
wait_for 20 process_gone $pid || fail "SIGTERM did not end the program"
wait $pid; status=$?
[[ $status -eq 0 ]] || fail "exit status $status"
mapfile -t lines < <(log_messages "$dir")
[[ "${lines[*]}" == "OBU Launched OBU Closed" ]] || fail "log: ${lines[*]}"
grep -q "OBU Closed" "$E2E_TMP/out.txt" || fail "the close line was not echoed"
grep -E "^qt\.|QObject::|QStandardPaths|^Q[A-Za-z]+: " "$E2E_TMP/out.txt" && fail "Qt warned on a normal start"
expected=$'[Options]\r\nSound=1\r\nMinimize=0\r\nMinimize Dun=0\r\nRedial=1\r\n[Alarm]\r\nDaily=0\r\nTime=\r\n[Connection]\r\nAutoConnect=0\r\nName=\r\nUsername=\r\nPassword=\r\n[Lights]\r\n1=0\r\n2=0\r\n3=0\r\n4=0\r\n5=0\r\n6=0\r\n7=0\r\n8=0\r\n[Position]\r\nx=5\r\ny=5\r\n'
[[ "$(cat "$dir/obu.ini"; echo .)" == "$expected." ]] || fail "obu.ini: $(cat -A "$dir/obu.ini")"
[[ -e "$dir/obu.lock" ]] && fail "the lock was left behind"

note "a copy killed outright leaves a lock that the next start takes over"
"$dir/obu" --headless >"$E2E_TMP/third.txt" 2>&1 &
pid=$!
E2E_PIDS+=($pid)
wait_for 20 grep -q "OBU Launched" "$E2E_TMP/third.txt" || fail "the third start did not launch"
kill -KILL $pid
wait $pid 2>/dev/null
[[ -e "$dir/obu.lock" ]] || fail "no stale lock to recover from"
"$dir/obu" --headless >"$E2E_TMP/fourth.txt" 2>&1 &
pid=$!
E2E_PIDS+=($pid)
wait_for 20 grep -q "OBU Launched" "$E2E_TMP/fourth.txt" || fail "the stale lock blocked the start: $(cat "$E2E_TMP/fourth.txt")"
kill -TERM $pid
wait_for 20 process_gone $pid || fail "SIGTERM did not end the fourth copy"
echo "PASS"

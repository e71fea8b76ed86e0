#!/usr/bin/env bash
# Every termination signal ends obu --headless the normal way (settings saved,
# "OBU Closed" logged, exit status 0), whenever it comes: before the program's
# first instruction (sent while the signal is blocked, as a parent may leave
# it), early in the start, and while the program runs. Started as a background
# job, the program inherits SIGINT and SIGQUIT ignored, as from any script.
source "$(dirname "$0")/lib.sh"
# A program that failed this test may hold the signals blocked: end it for sure.
trap 'for pid in "${E2E_PIDS[@]}"; do kill -KILL "$pid" 2>/dev/null; done; cleanup' EXIT
BIN_DIR=$1
dir=$(install_program "$BIN_DIR")
unset DISPLAY WAYLAND_DISPLAY

# Whether the program itself (not the shell that starts it) catches a signal:
# its bit in the caught mask of /proc/PID/status.
caught() {
    [[ $(readlink "/proc/$1/exe") == "$dir/obu" ]] &&
        (( 0x$(awk '/^SigCgt:/ {print $2}' "/proc/$1/status") >> ($2 - 1) & 1 ))
}

trial() {  # trial SIGNAL MOMENT
    local sig=$1 moment=$2 out="$E2E_TMP/out-$1-$2.txt" number pid status
    number=$(kill -l "$sig")
    rm -f "$dir/obu.ini" "$dir/log.txt"
    case $moment in
    before-start)
        # The signal waits, blocked, from before the program is loaded.
        perl -MPOSIX -e 'sigprocmask(SIG_BLOCK, POSIX::SigSet->new(SIGTERM, SIGINT, SIGQUIT, SIGHUP));
                         kill shift, $$; exec @ARGV or exit 127' "$sig" "$dir/obu" --headless >"$out" 2>&1 &
        pid=$!
        E2E_PIDS+=($pid)
        ;;
    early)
        "$dir/obu" --headless >"$out" 2>&1 &
        pid=$!
        E2E_PIDS+=($pid)
        # Looked at as often as possible: the start is short.
        local deadline=$((SECONDS + 20))
        until caught $pid "$number"; do
            [[ $SECONDS -ge $deadline ]] && fail "SIG$sig: never caught"
        done
        grep -q "OBU Launched" "$out" && note "SIG$sig: the start was over before the signal"
        kill -s "$sig" $pid
        ;;
    running)
        "$dir/obu" --headless >"$out" 2>&1 &
        pid=$!
        E2E_PIDS+=($pid)
        wait_for 20 grep -q "OBU Launched" "$out" || fail "SIG$sig: no launch line"
        kill -s "$sig" $pid
        ;;
    esac
    wait_for 20 process_gone $pid || fail "SIG$sig $moment: the program kept running"
    wait $pid; status=$?
    [[ $status -eq 0 ]] || fail "SIG$sig $moment: exit status $status: $(cat "$out")"
    mapfile -t lines < <(log_messages "$dir")
    [[ "${lines[*]}" == "OBU Launched OBU Closed" ]] || fail "SIG$sig $moment: log: ${lines[*]}"
    grep -q '^\[Position\]' "$dir/obu.ini" || fail "SIG$sig $moment: settings not saved"
    [[ -e "$dir/obu.lock" ]] && fail "SIG$sig $moment: the lock was left behind"
}

for sig in TERM INT QUIT HUP; do
    for moment in before-start early running; do
        note "SIG$sig $moment"
        trial $sig $moment
    done
done

note "started with hangups ignored, the program outlives its terminal"
rm -f "$dir/obu.ini" "$dir/log.txt"
nohup "$dir/obu" --headless >"$E2E_TMP/nohup.txt" 2>&1 &
pid=$!
E2E_PIDS+=($pid)
wait_for 20 grep -q "OBU Launched" "$E2E_TMP/nohup.txt" || fail "nohup: no launch line"
kill -HUP $pid
# A second start is answered through the same loop that would have ended the program.
"$dir/obu" --headless >"$E2E_TMP/second.txt" 2>&1 || fail "nohup: the second start failed: $(cat "$E2E_TMP/second.txt")"
grep -q "already running" "$E2E_TMP/second.txt" || fail "nohup: SIGHUP ended the program"
grep -q "OBU Closed" "$dir/log.txt" && fail "nohup: SIGHUP closed the program"
kill -TERM $pid
wait_for 20 process_gone $pid || fail "nohup: SIGTERM did not end the program"
wait $pid || fail "nohup: exit status $?"
echo "PASS"

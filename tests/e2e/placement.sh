#!/usr/bin/env bash
# Where the main window goes. Under X11 a stored position off every screen
# (x=3000 on a 1024-pixel screen) gives way to the default one, and one on
# the screen is kept. Under Wayland (a headless weston), where programs get
# no position, the program starts, shows the reconnect countdown, dials
# again after it, ends cleanly, and leaves the stored position as it was.
source "$(dirname "$0")/lib.sh"
BIN_DIR=$1

start_x
dir=$(install_program "$BIN_DIR")
main_at() {
    local id=$(window_named "Obu Linekeeper v1.3")
    [[ -n "$id" ]] || return 1
    xwininfo -id "$id" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF} END {print x, y}'
}
run_at() {
    printf '[Connection]\r\nName=Demo ISP\r\n[Position]\r\nx=%s\r\ny=%s\r\n' "$1" "$2" >"$dir/obu.ini"
    "$dir/obu" >"$E2E_TMP/out.txt" 2>&1 &
    pid=$!
    E2E_PIDS+=($pid)
    wait_for 30 has_window_named "Obu Linekeeper v1.3" || fail "the main window did not appear"
}
note "X11: off every screen"
run_at 3000 40
# The client area sits inside the frame; its corner is near the default 15,15.
wait_for 10 sh -c "$(declare -f main_at window_named); main_at | awk '{exit !(\$1 < 60 && \$2 < 80)}'" \
    || fail "placed at $(main_at), stored 3000,40"
wmctrl -c "Obu Linekeeper v1.3"
wait_for 20 process_gone $pid || fail "the program did not end"

note "X11: on the screen"
run_at 300 200
wait_for 10 sh -c "$(declare -f main_at window_named); main_at | awk '{exit !(\$1 >= 300 && \$1 < 340 && \$2 >= 200 && \$2 < 260)}'" \
    || fail "placed at $(main_at), stored 300,200"
wmctrl -c "Obu Linekeeper v1.3"
wait_for 20 process_gone $pid || fail "the program did not end"

note "Wayland"
export XDG_RUNTIME_DIR="$E2E_TMP/runtime"
mkdir -m 700 -p "$XDG_RUNTIME_DIR"
weston --backend=headless-backend.so --socket=obu-wayland --idle-time=0 >"$E2E_TMP/weston.log" 2>&1 &
E2E_PIDS+=($!)
wait_for 30 test -S "$XDG_RUNTIME_DIR/obu-wayland" || fail "weston did not start: $(cat "$E2E_TMP/weston.log")"
rm -f "$dir/log.txt"
printf '[Connection]\r\nName=Demo ISP\r\nAutoConnect=1\r\n[Position]\r\nx=100\r\ny=80\r\n' >"$dir/obu.ini"
env -u DISPLAY WAYLAND_DISPLAY=obu-wayland QT_QPA_PLATFORM=wayland "$dir/obu" >"$E2E_TMP/wayland.txt" 2>&1 &
pid=$!
E2E_PIDS+=($pid)
wait_for 60 grep -q "Connection established to Demo ISP" "$dir/log.txt" || fail "no connection: $(log_messages "$dir"; cat "$E2E_TMP/wayland.txt")"
"$BIN_DIR/obu-line" drop all >/dev/null || fail "obu-line drop"
wait_for 30 grep -q "Attempting to Reconnect." "$dir/log.txt" || fail "the countdown did not run out: $(log_messages "$dir")"
grep -q "This desktop keeps no window above the others" "$dir/log.txt" || fail "stay-on-top not said: $(log_messages "$dir")"
wait_for 30 sh -c "[ \$(grep -c 'Connection established to Demo ISP' '$dir/log.txt') -eq 2 ]" || fail "not up again: $(log_messages "$dir")"
kill -TERM $pid
wait_for 20 process_gone $pid || fail "SIGTERM did not end the program"
grep -q "OBU Closed" "$dir/log.txt" || fail "no clean end: $(log_messages "$dir")"
[[ $(grep -c "This desktop keeps no window above" "$dir/log.txt") -eq 1 ]] || fail "said more than once"
grep -aq $'^x=100\r$' "$dir/obu.ini" && grep -aq $'^y=80\r$' "$dir/obu.ini" || fail "the stored position changed: $(grep -a '^[xy]=' "$dir/obu.ini")"
echo "PASS"

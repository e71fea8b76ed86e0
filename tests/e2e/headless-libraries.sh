#!/usr/bin/env bash
# obu --headless runs on Qt Core and Qt D-Bus alone: once it has launched, no
# Qt Gui, Widgets or Svg library and no image plugin is in its maps, and none
# comes while it dials "Demo ISP" and keeps the line up; SIGTERM then ends it
# the normal way. The same program with a display becomes the windowed one,
# under the same process id.
source "$(dirname "$0")/lib.sh"
BIN_DIR=$1
unset DISPLAY WAYLAND_DISPLAY
export HOME="$E2E_TMP/home" XDG_CONFIG_HOME="$E2E_TMP/config" XDG_STATE_HOME="$E2E_TMP/state"
export XDG_RUNTIME_DIR="$E2E_TMP/runtime"
mkdir -p -m 700 "$HOME" "$XDG_RUNTIME_DIR"

gui_maps() { grep -E 'libQt6(Gui|Widgets|Svg)|/imageformats/|/platforms/' "/proc/$1/maps"; }

dir=$(install_program "$BIN_DIR")
printf '[Connection]\r\nName=Demo ISP\r\nAutoConnect=1\r\n' >"$dir/obu.ini"
"$dir/obu" --headless >"$E2E_TMP/out.txt" 2>&1 &
pid=$!
E2E_PIDS+=($pid)
wait_for 30 grep -q "OBU Launched" "$dir/log.txt" || fail "no launch: $(cat "$E2E_TMP/out.txt")"
grep -q "libQt6Core" "/proc/$pid/maps" || fail "not the program's own maps"
found=$(gui_maps $pid) && fail "GUI libraries in the keeper's maps: $found"

note "Connect on Start dials Demo ISP"
wait_for 60 grep -q "Connection established to Demo ISP" "$dir/log.txt" || fail "no connection: $(log_messages "$dir")"
"$BIN_DIR/obu-line" connections | grep -q "Demo ISP" || fail "the line is not listed"
found=$(gui_maps $pid) && fail "GUI libraries in the keeper's maps once up: $found"

note "SIGTERM"
kill -TERM $pid
wait_for 20 process_gone $pid || fail "SIGTERM did not end the program"
wait $pid; status=$?
[[ $status -eq 0 ]] || fail "exit status $status"
[[ "$(log_messages "$dir" | tail -n 1)" == "OBU Closed" ]] || fail "log: $(log_messages "$dir")"
grep -q "OBU Closed" "$E2E_TMP/out.txt" || fail "the close line was not echoed"
"$BIN_DIR/obu-line" hangup all >/dev/null

note "with a display, obu becomes the windowed program in its own process"
start_x
dir=$(install_program "$BIN_DIR")
"$dir/obu" >"$E2E_TMP/windowed.txt" 2>&1 &
pid=$!
E2E_PIDS+=($pid)
wait_for 30 has_window_named "Obu Linekeeper v1.3" || fail "no main window: $(cat "$E2E_TMP/windowed.txt")"
[[ "$(readlink "/proc/$pid/exe")" == "$dir/obu-windows" ]] || fail "process $pid runs $(readlink "/proc/$pid/exe")"
grep -q "libQt6Widgets" "/proc/$pid/maps" || fail "the windowed program has no widgets"
kill -TERM $pid
wait_for 20 process_gone $pid || fail "SIGTERM did not end the windowed program"
[[ "$(log_messages "$dir" | tail -n 1)" == "OBU Closed" ]] || fail "log: $(log_messages "$dir")"
echo "PASS"

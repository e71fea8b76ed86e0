#!/usr/bin/env bash
# The real program on a real X server: the splash, then after five seconds the
# main window; closing the main window ends the process; both files are right.
source "$(dirname "$0")/lib.sh"
BIN_DIR=$1

start_x
dir=$(install_program "$BIN_DIR")
"$dir/obu" >"$E2E_TMP/out.txt" 2>&1 &
pid=$!
E2E_PIDS+=($pid)

wait_for 20 sh -c "xdotool search --onlyvisible --pid $pid | grep -q ." || fail "no window appeared"
has_window_named "Obu Linekeeper v1.3" && fail "the main window showed during the splash"
screenshot splash
wait_for 30 has_window_named "Obu Linekeeper v1.3" || fail "the main window did not appear"
[[ -n "$(xdotool search --all --onlyvisible --pid $pid --name '^ $' 2>/dev/null)" ]] && fail "the splash is still shown"
screenshot main-window
xprop -id "$(window_named "Obu Linekeeper v1.3")" _NET_WM_STATE | grep -q _NET_WM_STATE_SKIP_TASKBAR \
    || fail "the main window has a taskbar button: $(xprop -id "$(window_named "Obu Linekeeper v1.3")" _NET_WM_STATE)"

note "the desktop knows the window as the program's"
main=$(window_named "Obu Linekeeper v1.3")
desktop_class=$(sed -n 's/^StartupWMClass=//p' "$(dirname "$0")/../../packaging/org.obu.Linekeeper.desktop")
[[ -n "$desktop_class" ]] || fail "the desktop file names no StartupWMClass"
xprop -id "$main" WM_CLASS | grep -q "\"$desktop_class\"" || fail "WM_CLASS $(xprop -id "$main" WM_CLASS), desktop file $desktop_class"
# The icon as the window manager gets it: the program's own 32-pixel picture.
xprop -id "$main" _NET_WM_ICON | head -n1 | grep -q "Icon (32 x 32)" || fail "_NET_WM_ICON: $(xprop -id "$main" _NET_WM_ICON | head -n1)"
icon_pixel=$(xprop -id "$main" -notype 32c _NET_WM_ICON | tr ',' '\n' | sed -n '3,$p' | sort | uniq -c | sort -rn | sed -n 2p | awk '{print $2}')
[[ -n "$icon_pixel" && "$icon_pixel" != 0 ]] || fail "the icon is empty"

note "closing the main window ends the program"
wmctrl -c "Obu Linekeeper v1.3" || fail "could not ask the window to close"
wait_for 20 process_gone $pid || fail "the program did not end"
wait $pid; status=$?
[[ $status -eq 0 ]] || fail "exit status $status"

mapfile -t lines < <(log_messages "$dir")
[[ "${lines[*]}" == "OBU Launched OBU Closed" ]] || fail "log: ${lines[*]}"
grep -Eq '^\[[0-9]{1,2}/[0-9]{1,2}/[0-9]{4}( [0-9]{1,2}:[0-9]{2}:[0-9]{2} (AM|PM))?\]: OBU Launched'$'\r''$' "$dir/log.txt" \
    || fail "log line format: $(head -n1 "$dir/log.txt" | od -c | head -n2)"
for key in Sound Minimize "Minimize Dun" Redial Daily Time AutoConnect Name Username Password 1 8 x y; do
    grep -q "^$key=" "$dir/obu.ini" || fail "obu.ini lacks $key"
done
[[ $(stat -c %a "$dir/obu.ini") == 600 ]] || fail "obu.ini is not private to its owner"
echo "PASS"

#!/usr/bin/env bash
# Help from the tray menu of the real program: with the guide beside the
# program the help window opens and shows it, and Escape closes it; without
# the guide the box "Help File Not Found!" says so and the program goes on.
source "$(dirname "$0")/lib.sh"
BIN_DIR=$1

start_x
start_trayer

dir=$(install_program "$BIN_DIR")
[[ -s "$dir/help.hlp" ]] || fail "the guide is not beside the program"
"$dir/obu" >"$E2E_TMP/out.txt" 2>&1 &
pid=$!
E2E_PIDS+=($pid)

# choose_help: right-clicks the icon and chooses "Help", the fifth entry from the bottom.
choose_help() { open_menu Up Up Up Up Up Return; }
gone() { ! has_window_named "$1"; }

wait_for 30 icon_window || fail "the tray icon did not appear: $(cat "$E2E_TMP/out.txt")"
wait_for 10 locate_icon || fail "the tray icon has no size"
wait_for 30 has_window_named "Obu Linekeeper v1.3" || fail "the main window did not appear"

note "Help shows the guide"
choose_help
wait_for 10 has_window_named "Obu Linekeeper Help" || fail "the help window did not open: $(cat "$E2E_TMP/out.txt")"
help=$(window_named "Obu Linekeeper Help")
width=$(xwininfo -id "$help" | awk '/Width:/ {print $NF}')
[[ $width -ge 400 ]] || fail "the help window is only $width pixels wide"
screenshot help-window
# A guide, not an empty window: the text area is mostly white with dark writing.
dark=$(import -window "$help" png:- 2>/dev/null | convert - -colorspace gray -threshold 50% -format '%[fx:int(100*(1-mean))]' info:)
[[ -n "$dark" && $dark -ge 1 ]] || fail "no text in the help window ($dark% dark)"
xdotool key --window "$help" Escape
wait_for 10 gone "Obu Linekeeper Help" || fail "Escape did not close the help window"

note "without the guide: Help File Not Found!"
rm "$dir/help.hlp"
choose_help
wait_for 10 has_window_named "OBU v1.3" || fail "no box: $(cat "$E2E_TMP/out.txt")"
screenshot help-not-found
box=$(window_named "OBU v1.3")
xdotool key --window "$box" Return
wait_for 10 gone "OBU v1.3" || fail "the box did not close"
gone "Obu Linekeeper Help" || fail "a help window opened without a guide"
kill -0 $pid || fail "the program ended"

wmctrl -c "Obu Linekeeper v1.3"
wait_for 20 process_gone $pid || fail "the program did not end"
echo "PASS"

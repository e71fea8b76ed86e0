#!/usr/bin/env bash
# The tray icon component on a real notification area (trayer, an XEmbed tray
# host): without a host the program says so once and goes on, and its icon
# shows as soon as a host starts; with one, the icon shows its picture and
# tip, a left click and a double click reach the component, a right click
# opens the menu at the mouse and reports the click once the menu closes, an
# entry can be chosen, the picture and tip change, the icon goes away and
# comes back on request, and "Exit" ends the program with its icon.
source "$(dirname "$0")/lib.sh"
PROBE=${2:-}
[[ -x "$PROBE" ]] || fail "no probe program at '$PROBE'"
CLASS=$(basename "$PROBE")
MENU="tray probe menu"

start_x

start_trayer() {
    trayer --edge top --align left --widthtype request --height 32 --SetDockType true \
        >"$E2E_TMP/trayer.log" 2>&1 &
    E2E_PIDS+=($!)
    wait_for 30 tray_panel || fail "trayer did not start"
}
tray_panel() { xdotool search --classname '^panel$' 2>/dev/null | head -n1 | grep .; }

# start_probe NAME FD: the probe reading commands from a pipe held open on FD;
# its output goes to $E2E_TMP/NAME.out and NAME.err.
start_probe() {
    mkfifo "$E2E_TMP/$1.in"
    "$PROBE" <"$E2E_TMP/$1.in" >"$E2E_TMP/$1.out" 2>"$E2E_TMP/$1.err" &
    probe_pid=$!
    E2E_PIDS+=($probe_pid)
    eval "exec $2>\"$E2E_TMP/$1.in\""
}
said() { grep -qx -- "$2" "$E2E_TMP/$1.out"; }
events() { grep '^event' "$E2E_TMP/$1.out" | paste -sd, -; }
events_are() { [[ "$(events "$1")" == "$2" ]]; }

# The probe's icon window embedded in the tray, in hex; fails when there is none.
icon_window() {
    local panel
    panel=$(tray_panel) || return 1
    xwininfo -tree -id "$panel" 2>/dev/null | awk -v c="(\"$CLASS\" \"$CLASS\")" 'index($0, c) {print $1; exit}' | grep .
}
no_icon() { ! icon_window >/dev/null; }
# Sets cx, cy to the middle of the icon on the screen.
locate_icon() {
    local info
    info=$(xwininfo -id "$(icon_window)") || return 1
    local x y w h
    x=$(awk '/Absolute upper-left X/ {print $NF}' <<<"$info")
    y=$(awk '/Absolute upper-left Y/ {print $NF}' <<<"$info")
    w=$(awk '/Width:/ {print $NF}' <<<"$info")
    h=$(awk '/Height:/ {print $NF}' <<<"$info")
    [[ $w -ge 16 && $h -ge 16 ]] || return 1
    cx=$((x + w / 2)) cy=$((y + h / 2))
}
pixel_is() { import -window root -crop "1x1+$1+$2" txt:- 2>/dev/null | grep -q "srgb($3)"; }

# The visible menu window of the probe, in decimal.
menu_window() { xdotool search --onlyvisible --name "^$MENU\$" 2>/dev/null | head -n1 | grep .; }
no_menu() { ! menu_window >/dev/null; }
# Sets mx, my, mw, mh to the menu's place and size.
locate_menu() {
    local info
    info=$(xwininfo -id "$(menu_window)") || return 1
    mx=$(awk '/Absolute upper-left X/ {print $NF}' <<<"$info")
    my=$(awk '/Absolute upper-left Y/ {print $NF}' <<<"$info")
    mw=$(awk '/Width:/ {print $NF}' <<<"$info")
    mh=$(awk '/Height:/ {print $NF}' <<<"$info")
}
# The width of the tooltip shown for the icon: a small visible window of the
# probe that is neither the icon nor the menu.
tooltip_width() {
    local icon id info
    icon=$(printf '%d' "$(icon_window)") || return 1
    for id in $(xdotool search --onlyvisible --class "^$CLASS\$" 2>/dev/null); do
        [[ $id == "$icon" ]] && continue
        [[ "$(xdotool getwindowname "$id" 2>/dev/null)" == "$MENU" ]] && continue
        info=$(xwininfo -id "$id" 2>/dev/null) || continue
        [[ $(awk '/Height:/ {print $NF}' <<<"$info") -lt 40 ]] || continue
        awk '/Width:/ {print $NF}' <<<"$info"
        return 0
    done
    return 1
}
has_tooltip() { tooltip_width >/dev/null; }
no_tooltip() { ! has_tooltip; }
hover_icon() {
    xdotool mousemove 500 500
    wait_for 20 no_tooltip || fail "a tooltip stayed up away from the icon"
    xdotool mousemove --sync $((cx - 2)) $((cy - 2))
    xdotool mousemove $cx $cy
    wait_for 20 has_tooltip || fail "no tooltip over the icon"
}

note "without a notification area: said once, and the program goes on"
start_probe lone 5
wait_for 20 said lone "available 0" || fail "the probe did not start: $(cat "$E2E_TMP/lone.err")"
echo hide >&5
echo show >&5
wait_for 20 said lone "show 1" || fail "the probe stopped answering"
[[ $(grep -c "no notification area" "$E2E_TMP/lone.err") -eq 1 ]] \
    || fail "the missing notification area was not said exactly once: $(cat "$E2E_TMP/lone.err")"
kill -0 "$probe_pid" 2>/dev/null || fail "the probe ended"

note "a tray host started later gets the icon"
start_trayer
wait_for 30 locate_icon || fail "the icon did not show once a tray host started"
echo quit >&5
wait_for 20 process_gone "$probe_pid" || fail "the probe did not end"
wait_for 20 no_icon || fail "the icon outlived its program"
[[ $(grep -c "no notification area" "$E2E_TMP/lone.err") -eq 1 ]] || fail "said again: $(cat "$E2E_TMP/lone.err")"
exec 5>&-

note "the icon shows its picture and tip"
start_probe tray 4
pid=$probe_pid
wait_for 20 said tray "available 1" || fail "the probe found no tray: $(cat "$E2E_TMP/tray.out" "$E2E_TMP/tray.err")"
wait_for 30 locate_icon || fail "the icon did not appear in the tray"
wait_for 20 pixel_is $cx $cy 200,0,0 || fail "the icon does not show its picture"
grep -q "no notification area" "$E2E_TMP/tray.err" && fail "a missing tray was reported with trayer running"
hover_icon
short_tip=$(tooltip_width)
screenshot tray-tooltip

# The double click comes first: a single click just before it would make its
# first press the second half of a double click.
note "a double click, then a left click"
xdotool mousemove $cx $cy click --repeat 2 --delay 60 1
wait_for 20 events_are tray "event click,event dblclick,event click" \
    || fail "the double click gave: $(events tray)"
xdotool click 1
wait_for 20 events_are tray "event click,event dblclick,event click,event click" \
    || fail "the click gave: $(events tray)"

note "a right click opens the menu at the mouse; an entry is chosen"
xdotool click 3
wait_for 20 menu_window || fail "no menu appeared"
locate_menu
screenshot tray-menu
[[ $mx -eq $cx && $my -eq $cy ]] || fail "the menu opened at $mx,$my, the mouse was at $cx,$cy"
said tray "event rightclick $cx $cy" && fail "the right click was reported while the menu was open"
# Three entries of equal height: the first is "Say hello".
xdotool mousemove --sync $((mx + 30)) $((my + mh / 6)) click 1
wait_for 20 said tray "chosen Say hello" || fail "choosing the first entry gave: $(cat "$E2E_TMP/tray.out")"
wait_for 20 said tray "event rightclick $cx $cy" || fail "the right click was not reported: $(events tray)"
wait_for 20 no_menu || fail "the menu stayed open"

note "a new picture and tip reach the tray"
echo blue >&4
wait_for 20 said tray "blue 1" || fail "the probe did not take the command"
wait_for 20 pixel_is $cx $cy 0,0,200 || fail "the icon kept its old picture"
hover_icon
long_tip=$(tooltip_width)
[[ $long_tip -gt $((short_tip + 40)) ]] || fail "the tooltip did not change ($short_tip, then $long_tip pixels wide)"
screenshot tray-tooltip-changed

note "the icon goes away and comes back"
echo hide >&4
wait_for 20 no_icon || fail "the icon stayed in the tray"
echo show >&4
wait_for 20 locate_icon || fail "the icon did not come back"
wait_for 20 pixel_is $cx $cy 0,0,200 || fail "the icon came back without its picture"

note "\"Exit\" from the menu ends the program and its icon"
xdotool mousemove $cx $cy click 3
wait_for 20 menu_window || fail "no menu appeared the second time"
locate_menu
xdotool mousemove --sync $((mx + 30)) $((my + mh * 5 / 6)) click 1
wait_for 20 said tray "chosen Exit" || fail "choosing Exit gave: $(cat "$E2E_TMP/tray.out")"
wait_for 20 process_gone $pid || fail "the probe did not end"
wait $pid; status=$?
[[ $status -eq 0 ]] || fail "exit status $status"
said tray ended || fail "the probe did not end normally"
wait_for 20 no_icon || fail "the icon outlived its program"
echo "PASS"

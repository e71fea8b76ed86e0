#!/usr/bin/env bash
# The dial-up window search on a real X server with a window manager: a window
# titled "Connected to Demo ISP" is found by its whole title in any case and
# iconified, and only it; long titles, UTF-8 titles and old Latin-1 titles are
# found whole; without an X server, or when the server goes away, the search
# finds nothing, says so once on standard error, and the program goes on.
source "$(dirname "$0")/lib.sh"
PROBE=${2:-}
WINDOW=${3:-}
[[ -x "$PROBE" ]] || fail "no probe program at '$PROBE'"
[[ -x "$WINDOW" ]] || fail "no test window program at '$WINDOW'"

start_x
# The window manager must really run: openbox can meet the server while it
# resets after the last client left, and give up.
has_wm() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id #"; }
if ! wait_for 10 has_wm; then
    openbox --sm-disable >>"$E2E_TMP/openbox.log" 2>&1 &
    E2E_PIDS+=($!)
    wait_for 30 has_wm || fail "no window manager: $(cat "$E2E_TMP/openbox.log")"
fi

# open_window NAME TITLE [OPTION]: opens a test window and sets $NAME to its id
# once the window manager manages it.
open_window() {
    local out="$E2E_TMP/window-$1"
    "$WINDOW" "$2" ${3:+"$3"} >"$out" 2>"$out.err" &
    E2E_PIDS+=($!)
    wait_for 20 test -s "$out" || fail "the test window '$2' did not open"
    local id; id=$(head -n1 "$out")
    wait_for 20 is_state "$id" Normal || fail "the window manager did not take '$2'"
    printf -v "$1" '%s' "$id"
}
is_state() { xprop -id "$1" WM_STATE 2>/dev/null | grep -q "window state: $2"; }
is_hidden() { xprop -id "$1" _NET_WM_STATE 2>/dev/null | grep -q _NET_WM_STATE_HIDDEN; }

# The probe reads commands from a pipe held open on descriptor 7.
mkfifo "$E2E_TMP/probe.in"
"$PROBE" <"$E2E_TMP/probe.in" >"$E2E_TMP/probe.out" 2>"$E2E_TMP/probe.err" &
probe_pid=$!
E2E_PIDS+=($probe_pid)
exec 7>"$E2E_TMP/probe.in"
asked=0
# ask COMMAND: sends a command and sets $answer to the probe's answer.
ask() {
    echo "$1" >&7
    asked=$((asked + 1))
    wait_for 20 sh -c "[ \$(wc -l <'$E2E_TMP/probe.out') -ge $asked ]" || fail "no answer to: $1"
    answer=$(sed -n "${asked}p" "$E2E_TMP/probe.out")
}
same_id() { [[ $(( $1 )) -eq $(( $2 )) ]]; }

note "nothing is found before the window exists"
ask "find Connected to Demo ISP"; [[ $answer == none ]] || fail "found a window that does not exist"

# The look-alikes open last, so they lie above the one looked for.
open_window dun "Connected to Demo ISP"
open_window decoy1 "Connected to Demo ISP 2"
open_window decoy2 "Not Connected to Demo ISP"

note "found by its whole title in any case"
ask "find cONNECTED TO demo isp"
[[ $answer == found* ]] && same_id "${answer#found }" "$dun" || fail "case-insensitive search gave '$answer', not $dun"
screenshot x11-windows-before

note "iconified through the window manager, and only it"
ask "minimize Connected to Demo ISP"
[[ $answer == minimized* ]] && same_id "${answer#minimized }" "$dun" || fail "minimize gave '$answer'"
wait_for 20 is_state "$dun" Iconic || fail "the window is not iconic: $(xprop -id "$dun" WM_STATE)"
wait_for 20 is_hidden "$dun" || fail "the window is not hidden: $(xprop -id "$dun" _NET_WM_STATE)"
for w in "$decoy1" "$decoy2"; do
    is_state "$w" Normal || fail "window $w with a similar title was touched"
done
screenshot x11-windows-after
# An iconic window is still found: the search does not depend on its state.
ask "find Connected to Demo ISP"
[[ $answer == found* ]] && same_id "${answer#found }" "$dun" || fail "the iconic window was not found: '$answer'"

note "titles beyond 79 characters are compared whole"
entry="A very long phone book entry name of a dial-up connection, longer than any old title"
open_window long "Connected to ${entry}"
open_window longdecoy "Connected to ${entry} but not this one"
(( ${#entry} + 13 > 79 )) || fail "the long title is not long"
ask "minimize Connected to ${entry}"
[[ $answer == minimized* ]] && same_id "${answer#minimized }" "$long" || fail "long title gave '$answer'"
wait_for 20 is_state "$long" Iconic || fail "the long-titled window is not iconic"
is_state "$longdecoy" Normal || fail "the window sharing the first characters was touched"
ask "find Connected to ${entry:0:66}"; [[ $answer == none ]] || fail "a cut title matched"

note "UTF-8 titles and old Latin-1 titles"
open_window utf "Connected to Café Ünïcode ✓" --net-name-only
ask "find CONNECTED TO CAFÉ ÜNÏCODE ✓"
[[ $answer == found* ]] && same_id "${answer#found }" "$utf" || fail "UTF-8 title gave '$answer'"
open_window latin "Connected to Büro Ölmühle" --wm-name-only
ask "minimize connected to büro ölmühle"
[[ $answer == minimized* ]] && same_id "${answer#minimized }" "$latin" || fail "Latin-1 title gave '$answer'"
wait_for 20 is_state "$latin" Iconic || fail "the Latin-1-titled window is not iconic"

note "watched, not polled: a window that comes later, or gets its title later, is found at once"
for kind in now late; do
    title="Connected to Late ISP $kind"
    ask "watch $title"; [[ $answer == watching ]] || fail "cannot watch: '$answer'"
    open_window "late_$kind" "$title" "--titled-$kind"
    window_var="late_$kind"
    asked=$((asked + 1))
    wait_for 20 sh -c "[ \$(wc -l <'$E2E_TMP/probe.out') -ge $asked ]" || fail "the window '$title' was not seen"
    answer=$(sed -n "${asked}p" "$E2E_TMP/probe.out")
    [[ $answer == appeared* ]] && same_id "$(echo "$answer" | cut -d' ' -f2)" "${!window_var}" || fail "watching gave '$answer'"
    looks=$(echo "$answer" | cut -d' ' -f4)
    (( looks <= 25 )) || fail "$looks searches for one new window: that is polling"
done

note "without an X server: nothing found, said once, no crash"
for setting in "-u DISPLAY" "-u DISPLAY WAYLAND_DISPLAY=wayland-0" "DISPLAY=:4321"; do
    # shellcheck disable=SC2086
    printf 'find Connected to Demo ISP\nminimize Connected to Demo ISP\nfind x\n' |
        env $setting "$PROBE" >"$E2E_TMP/nox.out" 2>"$E2E_TMP/nox.err"
    status=$?
    [[ $status -eq 0 ]] || fail "with $setting the probe ended with $status"
    [[ $(tr '\n' ' ' <"$E2E_TMP/nox.out") == "none none none " ]] || fail "with $setting: $(cat "$E2E_TMP/nox.out")"
    [[ $(wc -l <"$E2E_TMP/nox.err") -eq 1 ]] || fail "with $setting the warning is not said once: $(cat "$E2E_TMP/nox.err")"
    grep -q "cannot be found or minimized" "$E2E_TMP/nox.err" || fail "with $setting: $(cat "$E2E_TMP/nox.err")"
done

note "the server goes away while the search runs"
kill "${E2E_PIDS[0]}"
wait_for 20 process_gone "${E2E_PIDS[0]}" || fail "Xvfb did not end"
ask "find Connected to Demo ISP"; [[ $answer == none ]] || fail "found a window on a server that is gone"
ask "minimize Connected to Demo ISP"; [[ $answer == none ]] || fail "minimized on a server that is gone"
echo quit >&7
exec 7>&-
wait_for 20 process_gone $probe_pid || fail "the probe did not end"
wait $probe_pid
status=$?
[[ $status -eq 0 ]] || fail "the probe ended with $status after the server went away: $(cat "$E2E_TMP/probe.err")"
[[ $(grep -c "has gone away" "$E2E_TMP/probe.err") -eq 1 ]] || fail "the loss of the server is not said once: $(cat "$E2E_TMP/probe.err")"
echo "PASS"

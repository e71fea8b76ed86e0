#!/usr/bin/env bash
# The extras of a real connection: after the program has dialled "Demo ISP",
# the web page opens in the desktop's default browser (an XDG tree of the test
# whose browser records its arguments) and the program starts, each with its
# text whole, the page after its wait for the browser; with "Minimize DUN on
# Connect" on, the window titled "Connected to Demo ISP" that comes up after
# the connection is iconified and a look-alike is left alone; the extras
# button opens the editor, and its Cancel closes it.
source "$(dirname "$0")/lib.sh"
BIN_DIR=$1
WINDOW=${2:-}
[[ -x "$WINDOW" ]] || fail "no test window program at '$WINDOW'"

runs="$E2E_TMP/runs"
mkdir -p "$runs"
# make_recorder PATH NAME: a program that writes its arguments, each ended by
# a NUL byte, to $runs/NAME.<pid>.
make_recorder() {
    mkdir -p "$(dirname "$1")"
    cat >"$1" <<SCRIPT
#!/bin/sh
for a in "\$@"; do printf '%s\\0' "\$a"; done >"$runs/$2.\$\$.tmp"
mv "$runs/$2.\$\$.tmp" "$runs/$2.\$\$"
SCRIPT
    chmod +x "$1"
}
# The desktop's default browser for web addresses, and nothing else.
xdg="$E2E_TMP/xdg"
make_recorder "$xdg/bin/webbrowser" browser
mkdir -p "$xdg/config" "$xdg/data/applications" "$xdg/none"
printf '[Default Applications]\nx-scheme-handler/http=obu-test-browser.desktop\n' >"$xdg/config/mimeapps.list"
printf '[Desktop Entry]\nType=Application\nName=Test Browser\nExec=%s --new-window %%u\n' "$xdg/bin/webbrowser" \
    >"$xdg/data/applications/obu-test-browser.desktop"
# Only the program sees this desktop: the window manager keeps the real one.
xdg_env=(XDG_CONFIG_HOME="$xdg/config" XDG_DATA_HOME="$xdg/data" XDG_CONFIG_DIRS="$xdg/none" XDG_DATA_DIRS="$xdg/none")
program="$E2E_TMP/my programs/mail client"
make_recorder "$program" program

pwned="$E2E_TMP/pwned"
url="http://a.example/?q=\"x y\"&r=\$(touch $pwned);\`touch $pwned\`"
name="News; \$(touch $pwned)"

start_x
dir=$(install_program "$BIN_DIR")
{
    printf '[Connection]\r\nName=Demo ISP\r\nUsername=joe\r\nPassword=lzjyl{\r\n'
    printf '[Options]\r\nMinimize Dun=1\r\n'
    printf '[Extras Set]\r\n1=1\r\n5=1\r\n'
    printf '[Extras Name]\r\n1=%s\r\n5=Mail\r\n' "$name"
    printf '[Extras Path]\r\n1=%s\r\n5=%s\r\n' "$url" "$program"
    printf '[Lights]\r\n1=1\r\n5=1\r\n'
} >"$dir/obu.ini"
env "${xdg_env[@]}" "$dir/obu" >"$E2E_TMP/out.txt" 2>&1 &
pid=$!
E2E_PIDS+=($pid)
wait_for 30 has_window_named "Obu Linekeeper v1.3" || fail "the main window did not appear"
main=$(window_named "Obu Linekeeper v1.3")

# A look-alike of the dial-up window, there before the connection.
"$WINDOW" "Connected to Demo ISP 2" >"$E2E_TMP/decoy.id" 2>&1 &
E2E_PIDS+=($!)
wait_for 20 test -s "$E2E_TMP/decoy.id" || fail "the look-alike window did not open"
decoy=$(head -n1 "$E2E_TMP/decoy.id")
is_state() { xprop -id "$1" WM_STATE 2>/dev/null | grep -q "window state: $2"; }
wait_for 20 is_state "$decoy" Normal || fail "the window manager did not take the look-alike"

note "Connect: the extras start, the page after its wait for the browser"
xdotool mousemove --window "$main" 88 167 click 1
wait_for 40 grep -q "Mail launched" "$dir/log.txt" || fail "no extras: $(log_messages "$dir")"
mapfile -t lines < <(log_messages "$dir")
expected=("OBU Launched" "Connect requested by user" "Sending username/password"
          "Username/Password authenticated by server" "Launching extras"
          "Connection established to Demo ISP" "$name launched" "Mail launched")
[[ "${lines[*]}" == "${expected[*]}" ]] || fail "log: $(printf '[%s] ' "${lines[@]}")"

one_run() { compgen -G "$runs/$1.*" | grep -v '\.tmp$' | head -n1 | grep .; }
wait_for 20 one_run browser || fail "the browser did not start: $(cat "$E2E_TMP/out.txt")"
wait_for 20 one_run program || fail "the program did not start"
mapfile -d '' -t args <"$(one_run browser)"
[[ ${#args[@]} -eq 2 && ${args[0]} == "--new-window" && ${args[1]} == "$url" ]] \
    || fail "the browser got: $(printf '[%s] ' "${args[@]}")"
[[ ! -s "$(one_run program)" ]] || fail "the program got arguments: $(tr '\0' ' ' <"$(one_run program)")"
[[ -e "$pwned" ]] && fail "text of an address or a name was run by a shell"
[[ $(ls "$runs" | wc -l) -eq 2 ]] || fail "something else ran: $(ls "$runs")"

note "the dial-up window that comes up now is iconified, the look-alike is not"
"$WINDOW" "Connected to Demo ISP" >"$E2E_TMP/dun.id" 2>&1 &
E2E_PIDS+=($!)
wait_for 20 test -s "$E2E_TMP/dun.id" || fail "the dial-up window did not open"
dun=$(head -n1 "$E2E_TMP/dun.id")
wait_for 20 is_state "$dun" Iconic || fail "the dial-up window was not iconified: $(xprop -id "$dun" WM_STATE)"
screenshot extras-dun-iconified
is_state "$decoy" Normal || fail "the look-alike was touched"

note "the extras button opens the editor; Cancel closes it"
xdotool mousemove --window "$main" 88 137 click 1
wait_for 10 has_window_named "Edit Extras" || fail "the editor did not open"
screenshot extras-editor
editor=$(window_named "Edit Extras")
xdotool mousemove --window "$editor" 356 177 click 1
wait_for 10 sh -c '! xdotool search --onlyvisible --name "^Edit Extras$" | grep -q .' || fail "Cancel did not close the editor"

"$BIN_DIR/obu-line" hangup all >/dev/null
wmctrl -c "Obu Linekeeper v1.3"
wait_for 20 process_gone $pid || fail "the program did not end"
grep -q "^1=1" <(sed -n '/^\[Lights\]/,/^\[/p' "$dir/obu.ini" | tr -d '\r') || fail "the light was not saved"
echo "PASS"

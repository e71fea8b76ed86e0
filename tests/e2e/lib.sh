# Shared by the end-to-end tests: a private X server with a window manager,
# a copy of the program in a fresh folder, and waiting for conditions with
# generous deadlines (never for a fixed time).
set -uo pipefail

E2E_TMP=$(mktemp -d /tmp/obu-e2e-XXXXXX)
E2E_PIDS=()
# The dial-up service of the test: its own registry folder and phone book (missing: the demo one).
export OBU_LINES_DIR="$E2E_TMP/lines"
export OBU_PHONEBOOK="$E2E_TMP/phonebook.pbk"
# No system bus: the machine's own NetworkManager profiles stay out of the
# tests (nm-sandbox.sh brings a bus of its own).
export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$E2E_TMP/no-system-bus"
SCREENSHOTS=${OBU_SCREENSHOTS:-$E2E_TMP/screenshots}
mkdir -p "$SCREENSHOTS"

cleanup() {
    for pid in "${E2E_PIDS[@]}"; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$E2E_TMP"
}
trap cleanup EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }
note() { echo "--- $*"; }

# wait_for SECONDS COMMAND...: runs COMMAND until it succeeds or the time is up.
wait_for() {
    local deadline=$((SECONDS + $1)); shift
    until "$@" >/dev/null 2>&1; do
        [[ $SECONDS -ge $deadline ]] && return 1
        sleep 0.1
    done
}

# Starts Xvfb on a free display, then openbox; exports DISPLAY.
start_x() {
    local fdfile="$E2E_TMP/display"
    # -noreset: a server that resets when its last client leaves can refuse the window manager.
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$fdfile" 2>"$E2E_TMP/xvfb.log" &
    E2E_PIDS+=($!)
    wait_for 30 test -s "$fdfile" || fail "Xvfb did not start"
    export DISPLAY=":$(head -n1 "$fdfile")"
    wait_for 30 xdpyinfo || fail "X server $DISPLAY does not answer"
    openbox --sm-disable >"$E2E_TMP/openbox.log" 2>&1 &
    E2E_PIDS+=($!)
    wait_for 30 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id #"' || fail "openbox did not start"
    unset WAYLAND_DISPLAY
}

# install_program BIN_DIR: copies the program and its files into a fresh folder
# (without the settings and log of any earlier run) and prints the folder.
install_program() {
    local dir="$E2E_TMP/program-$RANDOM"
    mkdir -p "$dir"
    (cd "$1" && find . -maxdepth 1 -type f ! -name obu.ini ! -name log.txt ! -name obu.lock -exec cp {} "$dir/" \;)
    echo "$dir"
}

# window_named TITLE: the id of the visible window with exactly that title.
window_named() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1; }
has_window_named() { [[ -n "$(window_named "$1")" ]]; }

screenshot() { import -window root "$SCREENSHOTS/$1.png" 2>/dev/null || true; }

# The log's lines without their time stamps.
log_messages() { sed -e 's/\r$//' -e 's/^\[[^]]*\]: //' "$1/log.txt"; }

process_gone() { ! kill -0 "$1" 2>/dev/null; }

# A notification area (trayer) on the X server.
start_trayer() {
    trayer --edge top --align left --widthtype request --height 32 --SetDockType true >"$E2E_TMP/trayer.log" 2>&1 &
    E2E_PIDS+=($!)
    wait_for 30 tray_panel || fail "trayer did not start"
}
tray_panel() { xdotool search --classname '^panel$' 2>/dev/null | head -n1 | grep .; }
# The icon window that the tray embedded for the program of this window class (default obu).
icon_window() { xwininfo -tree -id "$(tray_panel)" 2>/dev/null | awk -v c="\"${1:-obu}\"" 'index($0, c) {print $1; exit}' | grep .; }
# Sets cx, cy to the middle of the program's icon on the screen.
locate_icon() {
    local info x y w h
    info=$(xwininfo -id "$(icon_window "$@")") || return 1
    x=$(awk '/Absolute upper-left X/ {print $NF}' <<<"$info")
    y=$(awk '/Absolute upper-left Y/ {print $NF}' <<<"$info")
    w=$(awk '/Width:/ {print $NF}' <<<"$info")
    h=$(awk '/Height:/ {print $NF}' <<<"$info")
    [[ $w -ge 16 && $h -ge 16 ]] || return 1
    cx=$((x + w / 2)) cy=$((y + h / 2))
}
# The program's tray menu, opened with a right click on its icon and driven
# with the keyboard as a user could: open_menu KEYS...
menu_open() { has_window_named "OBU menu"; }
menu_closed() { ! has_window_named "OBU menu"; }
open_menu() {
    # A click that lands while the tray host is still busy with the last menu
    # can be lost: click again rather than fail a test over the tray host.
    local attempt
    for attempt in 1 2 3; do
        xdotool mousemove "$cx" "$cy" click 3
        wait_for 5 menu_open && break
        [[ $attempt -eq 3 ]] && fail "the tray menu did not open"
    done
    xdotool key --delay 80 "$@"
    wait_for 10 menu_closed || fail "the tray menu stayed open"
}

# "${AS_USER[@]}" COMMAND...: runs COMMAND as an ordinary user (nobody when the
# tests run as root, whom permissions do not stop), with HOME=$E2E_HOME, a
# folder that user owns, and no XDG folders of the caller. Started in the
# background, its $! is the program's own process.
E2E_HOME="$E2E_TMP/home"
mkdir -p "$E2E_HOME"
AS_USER=(env -u XDG_CONFIG_HOME -u XDG_STATE_HOME -u XDG_RUNTIME_DIR HOME="$E2E_HOME")
if [[ $(id -u) -eq 0 ]]; then
    chmod 0755 "$E2E_TMP"
    chown 65534:65534 "$E2E_HOME"
    AS_USER=(setpriv --reuid=65534 --regid=65534 --clear-groups "${AS_USER[@]}")
fi

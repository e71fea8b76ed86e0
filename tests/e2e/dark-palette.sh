#!/usr/bin/env bash
# Under a dark colour scheme (qt6ct's "darker"), the texts drawn on the
# skin's light panels stay dark: the status line, "Alarm Set For:" and the
# connection's name can be read. Keeps the screenshot for the documentation.
source "$(dirname "$0")/lib.sh"
BIN_DIR=$1

start_x
mkdir -p "$E2E_TMP/config/qt6ct"
printf '[Appearance]\ncolor_scheme_path=/usr/share/qt6ct/colors/darker.conf\ncustom_palette=true\nstyle=Fusion\n' \
    >"$E2E_TMP/config/qt6ct/qt6ct.conf"
dir=$(install_program "$BIN_DIR")
printf '[Connection]\r\nName=Demo ISP\r\n' >"$dir/obu.ini"
XDG_CONFIG_HOME="$E2E_TMP/config" QT_QPA_PLATFORMTHEME=qt6ct QT_DEBUG_PLUGINS=1 \
    "$dir/obu" >"$E2E_TMP/out.txt" 2>&1 &
pid=$!
E2E_PIDS+=($pid)
wait_for 30 has_window_named "Obu Linekeeper v1.3" || fail "the main window did not appear"
grep -q "libqt6ct.so" "$E2E_TMP/out.txt" || fail "the dark scheme's theme was not loaded"
main=$(window_named "Obu Linekeeper v1.3")
xdotool mousemove --window "$main" 88 167 click 1
wait_for 30 grep -q "Connection established to Demo ISP" "$dir/log.txt" || fail "no connection: $(log_messages "$dir")"

# The darkest pixel of a part of the window: text drawn in black is near 0,
# white text on the light panel leaves nothing below the panel's own shade.
darkest() { convert "$E2E_TMP/main.png" -crop "$1" +repage -colorspace Gray -format '%[fx:int(255*minima)]' info:; }
readable() { [[ $(darkest "$1") -lt 80 ]]; }
shot_readable() {
    import -window "$main" "$E2E_TMP/main.png" 2>/dev/null || return 1
    readable 60x10+10+193 && readable 100x12+250+44 && readable 45x10+278+104
}
wait_for 20 shot_readable || fail "texts on the panels are not dark: status $(darkest 60x10+10+193), caption $(darkest 100x12+250+44), name $(darkest 45x10+278+104)"
cp "$E2E_TMP/main.png" "$SCREENSHOTS/main-dark-palette.png"
wmctrl -c "Obu Linekeeper v1.3"
wait_for 20 process_gone $pid || fail "the program did not end"
echo "PASS"

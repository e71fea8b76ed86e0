#!/usr/bin/env bash
# At two pixels per point the main window is drawn from the skin's sharp
# copies: a part of the background on the screen matches the @2x picture
# closer than the ordinary one scaled up. Keeps the screenshot for the
# documentation.
source "$(dirname "$0")/lib.sh"
BIN_DIR=$1

start_x
dir=$(install_program "$BIN_DIR")
printf '[Connection]\r\nName=Demo ISP\r\n' >"$dir/obu.ini"
QT_SCALE_FACTOR=2 "$dir/obu" >"$E2E_TMP/out.txt" 2>&1 &
pid=$!
E2E_PIDS+=($pid)
wait_for 30 has_window_named "Obu Linekeeper v1.3" || fail "the main window did not appear"
main=$(window_named "Obu Linekeeper v1.3")
wait_for 10 sh -c "xwininfo -id $main | grep -q 'Width: 892'" || fail "not twice the size: $(xwininfo -id "$main" | grep -E 'Width|Height')"
# The logo's corner of the background, untouched by any control.
area=160x90+10+4
convert "$dir/obu-background@2x.jpg" -crop $area +repage "$E2E_TMP/sharp.png"
convert "$dir/obu-background.jpg" -scale 200% -crop $area +repage "$E2E_TMP/blurred.png"
difference() { compare -metric MAE "$1" "$2" null: 2>&1 | sed 's/ .*//'; }
drawn_sharp() {
    import -window "$main" "$E2E_TMP/main.png" 2>/dev/null || return 1
    convert "$E2E_TMP/main.png" -crop $area +repage "$E2E_TMP/shown.png"
    sharp=$(difference "$E2E_TMP/shown.png" "$E2E_TMP/sharp.png")
    blurred=$(difference "$E2E_TMP/shown.png" "$E2E_TMP/blurred.png")
    echo "$sharp $blurred" >"$E2E_TMP/differences"
    awk -v s="$sharp" -v b="$blurred" 'BEGIN { exit !(s < b / 2) }'
}
wait_for 20 drawn_sharp || fail "not the sharp picture (differences to it and to the plain one): $(cat "$E2E_TMP/differences")"
cp "$E2E_TMP/main.png" "$SCREENSHOTS/main-scale-2.png"
wmctrl -c "Obu Linekeeper v1.3"
wait_for 20 process_gone $pid || fail "the program did not end"
echo "PASS"

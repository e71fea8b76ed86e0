#!/usr/bin/env bash
# The command-line conventions of obu, obu-line and obu-modem: --help and
# --version, a bad option said with the way to help and exit status 2, Qt's
# own options accepted by obu, obu-line dial --password-stdin, obu
# --autostart on|off, and ./run.sh --help, which neither installs nor builds.
source "$(dirname "$0")/lib.sh"
BIN_DIR=$1
SOURCE_DIR=$(cd "$(dirname "$0")/../.." && pwd)
unset DISPLAY WAYLAND_DISPLAY

for program in obu obu-line obu-modem; do
    note "$program"
    "$BIN_DIR/$program" --help >"$E2E_TMP/help.txt" 2>&1 || fail "$program --help failed"
    grep -q "^Usage: $program" "$E2E_TMP/help.txt" || fail "$program --help: $(cat "$E2E_TMP/help.txt")"
    "$BIN_DIR/$program" --version | grep -q "1\.3" || fail "$program --version"
    "$BIN_DIR/$program" --no-such-option >/dev/null 2>"$E2E_TMP/err.txt"
    status=$?
    [[ $status -eq 2 ]] || fail "$program: a bad option gave exit status $status"
    grep -qF "Try '$program --help' for more information." "$E2E_TMP/err.txt" || fail "$program: $(cat "$E2E_TMP/err.txt")"
done

note "Qt's own options"
"$BIN_DIR/obu" -platform offscreen -style fusion --version >/dev/null || fail "obu refused Qt's options"

note "obu-line dial --password-stdin"
grep -q "can be seen by other" <("$BIN_DIR/obu-line" --help) || fail "no warning about a password argument"
printf 'secret\n' | "$BIN_DIR/obu-line" dial --password-stdin "Demo ISP" user a-password >/dev/null 2>&1
[[ $? -eq 2 ]] || fail "a password both ways was taken"
printf 'secret\n' | "$BIN_DIR/obu-line" dial --password-stdin "Demo ISP" user >"$E2E_TMP/dial.txt" 2>&1 || fail "dial: $(cat "$E2E_TMP/dial.txt")"
grep -q "^Connected to Demo ISP" "$E2E_TMP/dial.txt" || fail "dial: $(cat "$E2E_TMP/dial.txt")"
"$BIN_DIR/obu-line" hangup all >/dev/null || fail "hangup"

note "obu --autostart"
entry="$E2E_HOME/.config/autostart/org.obu.Linekeeper.desktop"
older="$E2E_HOME/.config/autostart/obu.desktop"
mkdir -p "${older%/*}" && printf '[Desktop Entry]\nType=Application\nName=obu\nExec=obu\n' >"$older"
HOME="$E2E_HOME" XDG_CONFIG_HOME= "$BIN_DIR/obu" --autostart on >"$E2E_TMP/auto.txt" || fail "autostart on: $(cat "$E2E_TMP/auto.txt")"
grep -qx "Exec=$(readlink -f "$BIN_DIR")/obu" "$entry" || fail "entry: $(cat "$entry")"
grep -qx "TryExec=$(readlink -f "$BIN_DIR")/obu" "$entry" || fail "no TryExec: $(cat "$entry")"
[[ -e "$older" ]] && fail "the older entry would start a second copy"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$entry" || fail "the autostart entry is not valid"
fi
HOME="$E2E_HOME" XDG_CONFIG_HOME= "$BIN_DIR/obu" --autostart off >/dev/null || fail "autostart off"
[[ -e "$entry" ]] && fail "the autostart entry is still there"

note "./run.sh --help"
PATH=/nonexistent/bin:/usr/bin:/bin "$SOURCE_DIR/run.sh" --help | grep -q "^Usage: ./run.sh" || fail "run.sh --help"
echo "PASS"

#!/usr/bin/env bash
# The Debian package and the desktop files: the menu entry, the metainfo and
# the manual pages pass their checkers; cpack -G DEB builds the package, which
# lintian accepts without errors (its warnings are shown), and which, unpacked
# with dpkg-deb -x, runs as an ordinary user: obu --headless starts and stops
# cleanly with its files in the XDG folders, and obu-line lists the demo entries.
source "$(dirname "$0")/lib.sh"
BUILD_DIR=$2
SOURCE_DIR=$(cd "$(dirname "$0")/../.." && pwd)
unset DISPLAY WAYLAND_DISPLAY OBU_LINES_DIR OBU_PHONEBOOK

note "desktop entry, metainfo, manual pages"
desktop-file-validate "$SOURCE_DIR/packaging/org.obu.Linekeeper.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$SOURCE_DIR/packaging/org.obu.Linekeeper.metainfo.xml" >"$E2E_TMP/as.txt" 2>&1 \
    || fail "appstreamcli: $(cat "$E2E_TMP/as.txt")"
for page in "$SOURCE_DIR"/packaging/man/*.1; do
    mandoc -T lint -W warning "$page" || fail "mandoc: $page"
done

note "cpack -G DEB"
(cd "$BUILD_DIR" && cpack -G DEB -B "$E2E_TMP/package") >"$E2E_TMP/cpack.txt" 2>&1 || fail "cpack: $(cat "$E2E_TMP/cpack.txt")"
deb=$(ls "$E2E_TMP"/package/obu_*_*.deb) || fail "no obu_<version>_<arch>.deb"
dpkg-deb -f "$deb" Depends | grep -q libqt6widgets6 || fail "dependencies: $(dpkg-deb -f "$deb" Depends)"
dpkg-deb -f "$deb" Recommends | grep -q ppp || fail "ppp is not recommended"
# Loaded when the first sound plays: no library of the programs names it.
dpkg-deb -f "$deb" Recommends | grep -q libsdl2-mixer-2.0-0 || fail "SDL2_mixer is not recommended"

note "lintian"
lintian "$deb" >"$E2E_TMP/lintian.txt" 2>&1
grep -v 'running with root privileges' "$E2E_TMP/lintian.txt"
grep -q '^E:' "$E2E_TMP/lintian.txt" && fail "lintian found errors"

note "unpacked and run as an ordinary user"
root="$E2E_TMP/root"
dpkg-deb -x "$deb" "$root"
chmod 0755 "$root"
grep -q "^License: GPL-3.0-or-later" "$root/usr/share/doc/obu/copyright" || fail "copyright: $(cat "$root/usr/share/doc/obu/copyright")"
grep -qx "ExecStart=/usr/bin/obu --headless" "$root/usr/lib/systemd/user/obu-keeper.service" || fail "no user unit for /usr/bin/obu"

note "hardened: stack protector, fortified calls, read-only relocations bound at start"
for program in obu obu-windows obu-line obu-modem; do
    binary="$root/usr/lib/obu/$program"
    readelf -lW "$binary" >"$E2E_TMP/segments.txt"
    readelf -dW "$binary" >"$E2E_TMP/dynamic.txt"
    readelf -sW --dyn-syms "$binary" >"$E2E_TMP/symbols.txt"
    grep -q GNU_RELRO "$E2E_TMP/segments.txt" || fail "$program: no relro"
    grep -Eq 'BIND_NOW|FLAGS_1.*NOW' "$E2E_TMP/dynamic.txt" || fail "$program: not bound now"
    grep -q __stack_chk_fail "$E2E_TMP/symbols.txt" || fail "$program: no stack protector"
    grep -Eq '__[a-z]+_chk@' "$E2E_TMP/symbols.txt" || fail "$program: no fortified call"
done
"${AS_USER[@]}" "$root/usr/bin/obu" --headless >"$E2E_TMP/out.txt" 2>&1 &
pid=$!
E2E_PIDS+=($pid)
wait_for 20 grep -q "OBU Launched" "$E2E_TMP/out.txt" || fail "no launch: $(cat "$E2E_TMP/out.txt")"
kill -TERM $pid
wait_for 20 process_gone $pid || fail "SIGTERM did not end the program"
wait $pid; status=$?
[[ $status -eq 0 ]] || fail "exit status $status: $(cat "$E2E_TMP/out.txt")"
grep -q "message box" "$E2E_TMP/out.txt" && fail "an error box: $(cat "$E2E_TMP/out.txt")"
[[ -f "$E2E_HOME/.config/obu/obu.ini" ]] || fail "no obu.ini in the XDG folder"
grep -q "OBU Closed" "$E2E_HOME/.local/state/obu/log.txt" || fail "no log in the XDG folder"
"${AS_USER[@]}" "$root/usr/bin/obu-line" entries >"$E2E_TMP/entries.txt" 2>&1 || fail "obu-line: $(cat "$E2E_TMP/entries.txt")"
grep -qx $'Demo ISP\tphone book' "$E2E_TMP/entries.txt" || fail "entries: $(cat "$E2E_TMP/entries.txt")"
echo "PASS"

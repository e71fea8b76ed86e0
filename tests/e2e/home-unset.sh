#!/usr/bin/env bash
# Started without HOME (a service, env -i, a broken login): obu and obu-line
# take the home folder from the password database, so the settings, the log,
# the phone book and the connection records go where they would with HOME set,
# never under "/"; a user the database does not know is told so, and obu stops
# rather than scatter its files.
source "$(dirname "$0")/lib.sh"
BIN_DIR=$1
unset DISPLAY WAYLAND_DISPLAY
if [[ $(id -u) -ne 0 ]]; then
    echo "SKIP: users with homes of their own can only be made by root"
    exit 77
fi
user=obu-homeowner
home="$E2E_TMP/owner"
mkdir -m 0700 "$home"
if id "$user" >/dev/null 2>&1; then
    usermod --home "$home" "$user" || fail "cannot move the home of $user"
else
    useradd --system --no-create-home --home-dir "$home" --shell /usr/sbin/nologin "$user" \
        || fail "cannot create the user $user"
fi
trap 'cleanup; userdel "$user" 2>/dev/null' EXIT
chown "$user" "$home"
# Not beside the program: a folder the user cannot write keeps its files at home.
dir=$(install_program "$BIN_DIR")
bare() { local who=$1; shift; setpriv --reuid="$who" --regid="$who" --clear-groups -- env -i PATH=/usr/bin:/bin "$@"; }
[[ -e /.config/obu || -e /.local/state/obu ]] && fail "files of the program under / before the test"

note "obu without HOME"
# Not through the function: a simple command in the background is the very
# pid (setpriv and env exec the program) that SIGTERM must reach.
setpriv --reuid="$user" --regid="$user" --clear-groups -- env -i PATH=/usr/bin:/bin \
    "$dir/obu" --headless >"$E2E_TMP/out.txt" 2>&1 &
pid=$!
E2E_PIDS+=($pid)
wait_for 20 grep -q "OBU Launched" "$E2E_TMP/out.txt" || fail "no launch: $(cat "$E2E_TMP/out.txt")"
kill -TERM $pid
wait_for 20 process_gone $pid || fail "SIGTERM did not end the program"
grep -q "no home folder" "$E2E_TMP/out.txt" && fail "$(cat "$E2E_TMP/out.txt")"
[[ -f "$home/.config/obu/obu.ini" ]] || fail "no obu.ini in $home: $(find "$home")"
grep -q "OBU Closed" "$home/.local/state/obu/log.txt" || fail "no log in $home: $(find "$home")"

note "obu-line without HOME"
bare "$user" "$BIN_DIR/obu-line" entries >"$E2E_TMP/entries.txt" 2>&1 || fail "entries: $(cat "$E2E_TMP/entries.txt")"
grep -q "no phone book at $home/.config/obu/phonebook.pbk" "$E2E_TMP/entries.txt" || fail "entries: $(cat "$E2E_TMP/entries.txt")"
bare "$user" "$BIN_DIR/obu-line" dial "Demo ISP" >"$E2E_TMP/dial.txt" 2>&1 || fail "dial: $(cat "$E2E_TMP/dial.txt")"
[[ -d "$home/.local/state/obu/lines" ]] || fail "the records are not at home: $(find "$home")"
bare "$user" "$BIN_DIR/obu-line" hangup all >/dev/null || fail "hangup failed"
[[ -e /.config/obu || -e /.local/state/obu ]] && fail "files of the program under /"

note "a user that the password database does not know"
uid=47000
while getent passwd "$uid" >/dev/null; do uid=$((uid + 1)); done
bare "$uid" "$dir/obu" --headless >"$E2E_TMP/nobody.txt" 2>&1 && fail "obu ran without anywhere to keep its files"
grep -q "obu: no home folder: HOME is not set and the password database has none for user $uid" "$E2E_TMP/nobody.txt" \
    && grep -q "obu: no folder for the settings and the log" "$E2E_TMP/nobody.txt" || fail "not said: $(cat "$E2E_TMP/nobody.txt")"
bare "$uid" "$BIN_DIR/obu-line" entries >"$E2E_TMP/nobody-entries.txt" 2>&1
grep -q "obu-line: no home folder" "$E2E_TMP/nobody-entries.txt" || fail "obu-line: $(cat "$E2E_TMP/nobody-entries.txt")"
[[ -e /.config/obu || -e /.local/state/obu ]] && fail "files of the program under /"
echo "PASS"

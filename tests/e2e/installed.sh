#!/usr/bin/env bash
# An installed copy (cmake --install into a fresh prefix) run by an ordinary
# user with a fresh home folder: no error box, obu.ini and log.txt private in
# the XDG folders, a clean end on SIGTERM, the previous log kept as log.1.txt
# on the next start, obu-line listing the demo entries through its link, and
# the autostart entry naming that link.
source "$(dirname "$0")/lib.sh"
BUILD_DIR=$2
unset DISPLAY WAYLAND_DISPLAY OBU_LINES_DIR OBU_PHONEBOOK
prefix="$E2E_TMP/prefix"
cmake --install "$BUILD_DIR" --prefix "$prefix" >"$E2E_TMP/install.txt" || fail "install: $(cat "$E2E_TMP/install.txt")"
[[ -L "$prefix/bin/obu" && -x "$prefix/lib/obu/obu" && -f "$prefix/lib/obu/help.hlp" ]] || fail "installed tree: $(find "$prefix")"
[[ -f "$prefix/share/bash-completion/completions/obu-line" ]] || fail "no bash completion: $(find "$prefix/share")"
[[ -e "$prefix/lib/obu/obu-make-assets" || -e "$prefix/bin/obu-make-assets" ]] && fail "the asset generator was installed"
config="$E2E_HOME/.config/obu"
state="$E2E_HOME/.local/state/obu"

run_once() {
    out="$E2E_TMP/out-$1.txt"
    "${AS_USER[@]}" "$prefix/bin/obu" --headless >"$out" 2>&1 &
    pid=$!
    E2E_PIDS+=($pid)
    wait_for 20 grep -q "OBU Launched" "$out" || fail "no launch: $(cat "$out")"
    kill -TERM $pid
    wait_for 20 process_gone $pid || fail "SIGTERM did not end the program"
    wait $pid; status=$?
    [[ $status -eq 0 ]] || fail "exit status $status: $(cat "$out")"
    grep -q "message box" "$out" && fail "an error box: $(cat "$out")"
    grep -q "OBU Closed" "$state/log.txt" || fail "log: $(cat "$state/log.txt")"
}

note "first start"
run_once 1
[[ $(stat -c %a "$config/obu.ini") == 600 && $(stat -c %a "$state/log.txt") == 600 ]] || fail "file modes"
[[ $(stat -c %a "$config") == 700 && $(stat -c %a "$state") == 700 ]] || fail "folder modes"
grep -q "Redial=1" "$config/obu.ini" || fail "obu.ini: $(cat "$config/obu.ini")"
ls "$prefix/lib/obu" | grep -qE '^(obu\.ini|log\.txt|obu\.lock)$' && fail "files beside the installed program"

note "the next start keeps the previous log"
before=$(cat "$state/log.txt")
run_once 2
[[ "$(cat "$state/log.1.txt")" == "$before" ]] || fail "log.1.txt: $(cat "$state/log.1.txt")"

note "obu-line through its link"
"${AS_USER[@]}" "$prefix/bin/obu-line" entries >"$E2E_TMP/entries.txt" 2>&1 || fail "obu-line: $(cat "$E2E_TMP/entries.txt")"
grep -qx $'Demo ISP\tphone book' "$E2E_TMP/entries.txt" || fail "entries: $(cat "$E2E_TMP/entries.txt")"

note "the autostart entry starts the link in bin/"
"${AS_USER[@]}" "$prefix/bin/obu" --autostart on >"$E2E_TMP/auto.txt" 2>&1 || fail "autostart: $(cat "$E2E_TMP/auto.txt")"
entry="$E2E_HOME/.config/autostart/org.obu.Linekeeper.desktop"
grep -qx "Exec=$prefix/bin/obu" "$entry" || fail "entry: $(cat "$entry")"
grep -qx "TryExec=$prefix/bin/obu" "$entry" || fail "entry: $(cat "$entry")"
echo "PASS"

#!/usr/bin/env bash
# SIGTERM while the extras start four web pages: the pages wait for the
# browser on the program's timers, not by stopping it, so the program ends
# the normal way (settings saved, "OBU Closed" logged, exit status 0) within a
# second, whichever page was next.
source "$(dirname "$0")/lib.sh"
BIN_DIR=$1
unset DISPLAY WAYLAND_DISPLAY

runs="$E2E_TMP/runs"
mkdir -p "$runs"
# The desktop's default browser for web addresses writes its arguments to $runs.
xdg="$E2E_TMP/xdg"
mkdir -p "$xdg/bin" "$xdg/config" "$xdg/data/applications" "$xdg/none"
cat >"$xdg/bin/webbrowser" <<SCRIPT
#!/bin/sh
printf '%s\n' "\$@" >"$runs/browser.\$\$"
SCRIPT
chmod +x "$xdg/bin/webbrowser"
printf '[Default Applications]\nx-scheme-handler/http=obu-test-browser.desktop\n' >"$xdg/config/mimeapps.list"
printf '[Desktop Entry]\nType=Application\nName=Test Browser\nExec=%s %%u\n' "$xdg/bin/webbrowser" \
    >"$xdg/data/applications/obu-test-browser.desktop"

dir=$(install_program "$BIN_DIR")
{
    printf '[Connection]\r\nName=Demo ISP\r\nAutoConnect=1\r\n'
    printf '[Extras Set]\r\n1=1\r\n2=1\r\n3=1\r\n4=1\r\n'
    printf '[Extras Name]\r\n1=One\r\n2=Two\r\n3=Three\r\n4=Four\r\n'
    printf '[Extras Path]\r\n1=http://one.example/\r\n2=http://two.example/\r\n3=http://three.example/\r\n4=http://four.example/\r\n'
    printf '[Lights]\r\n1=1\r\n2=1\r\n3=1\r\n4=1\r\n'
} >"$dir/obu.ini"
env XDG_CONFIG_HOME="$xdg/config" XDG_DATA_HOME="$xdg/data" XDG_CONFIG_DIRS="$xdg/none" \
    XDG_DATA_DIRS="$xdg/none" "$dir/obu" --headless >"$E2E_TMP/out.txt" 2>&1 &
pid=$!
E2E_PIDS+=($pid)
trap '"$BIN_DIR/obu-line" hangup all >/dev/null 2>&1; cleanup' EXIT

wait_for 40 grep -q "Launching extras" "$dir/log.txt" || fail "no launch: $(cat "$E2E_TMP/out.txt")"
note "the first page starts, three wait"
wait_for 20 grep -q "One launched" "$dir/log.txt" || fail "the first page did not start: $(log_messages "$dir")"
grep -q "Four launched" "$dir/log.txt" && fail "every page had started before the signal"

sent=$(date +%s%N)
kill -TERM $pid
until process_gone $pid; do
    (( ($(date +%s%N) - sent) / 1000000 > 20000 )) && fail "the program kept running"
    sleep 0.01
done
took=$(( ($(date +%s%N) - sent) / 1000000 ))
note "ended $took ms after SIGTERM"
[[ $took -lt 1000 ]] || fail "the program took $took ms to end"
wait $pid; status=$?
[[ $status -eq 0 ]] || fail "exit status $status: $(cat "$E2E_TMP/out.txt")"
[[ $(log_messages "$dir" | tail -n1) == "OBU Closed" ]] || fail "log: $(log_messages "$dir")"
grep -q '^\[Position\]' "$dir/obu.ini" || fail "settings not saved"
echo "PASS"

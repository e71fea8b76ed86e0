#!/usr/bin/env bash
# NetworkManager profiles named to fool a terminal, in the NetworkManager
# sandbox: one whose id forges a second "Demo ISP" line of `obu-line entries`,
# one with an escape sequence, one with the C1 CSI. obu-line lists, dials,
# shows and hangs them up escaped, by their real names; obu --headless keeps
# one with its escape sequence out of log.txt and its echo.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/nm-sandbox.sh"
BIN_DIR=$1
trap 'nm_sandbox_stop; cleanup' EXIT
trap 'exit 143' TERM INT HUP
nm_sandbox_require
nm_sandbox_start
unset DISPLAY WAYLAND_DISPLAY
export OBU_NM_ALL_PROFILES=1

raw() { LC_ALL=C sed 's/\r$//' "$1" | LC_ALL=C grep -naP '[\x00-\x08\x0b-\x1f\x7f-\x9f]'; }
clean() { [[ -z "$(raw "$1")" ]] || fail "raw control characters in $2: $(raw "$1" | cat -A)"; }

forged=$'evil\nDemo ISP\tphone book'
red=$'esc\e[31mred'
csi=$'csi\xc2\x9b2J'
for id in "$forged" "$red" "$csi"; do
    nmcli connection add connection.autoconnect no ipv6.method disabled type ethernet con-name "$id" \
        ifname "$NM_LINK" ipv4.method manual ipv4.addresses 10.213.0.1/30 >/dev/null || fail "NetworkManager refused $(printf %q "$id")"
done

note "obu-line entries"
"$BIN_DIR/obu-line" entries >"$E2E_TMP/entries.txt" 2>&1 || fail "entries: $(cat -A "$E2E_TMP/entries.txt")"
clean "$E2E_TMP/entries.txt" "the entries"
[[ $(grep -cx $'Demo ISP\tphone book' "$E2E_TMP/entries.txt") -eq 1 ]] || fail "a forged entry: $(cat -A "$E2E_TMP/entries.txt")"
for shown in 'evil\nDemo ISP\tphone book' 'esc\x1b[31mred' 'csi\x9b2J'; do
    grep -qxF "$shown"$'\tNetworkManager' "$E2E_TMP/entries.txt" || fail "$shown: $(cat -A "$E2E_TMP/entries.txt")"
done

note "dialled by its real name, shown escaped"
"$BIN_DIR/obu-line" dial "$red" >"$E2E_TMP/dial.txt" 2>&1 || fail "dial: $(cat -A "$E2E_TMP/dial.txt")"
clean "$E2E_TMP/dial.txt" "the dial"
grep -qF 'Connected to esc\x1b[31mred' "$E2E_TMP/dial.txt" || fail "dial: $(cat -A "$E2E_TMP/dial.txt")"
"$BIN_DIR/obu-line" connections >"$E2E_TMP/connections.txt" 2>&1
clean "$E2E_TMP/connections.txt" "the connections"
grep -qF 'esc\x1b[31mred' "$E2E_TMP/connections.txt" || fail "connections: $(cat -A "$E2E_TMP/connections.txt")"
"$BIN_DIR/obu-line" hangup "$red" >"$E2E_TMP/hangup.txt" 2>&1 || fail "hangup: $(cat -A "$E2E_TMP/hangup.txt")"
clean "$E2E_TMP/hangup.txt" "the hang-up"
wait_for 20 sh -c "! nmcli -t -f NAME connection show --active | grep -q '^esc'" || fail "the profile stayed up"

note "obu --headless keeps the escape sequence out of the log"
dir=$(install_program "$BIN_DIR")
printf '[Connection]\r\nName=%s\r\nAutoConnect=1\r\n' "$red" >"$dir/obu.ini"
setpriv --pdeathsig KILL "$dir/obu" --headless >"$E2E_TMP/out.txt" 2>&1 &
pid=$!
E2E_PIDS+=($pid)
wait_for 30 grep -qF 'Connection established to esc\x1b[31mred' "$dir/log.txt" || fail "no connection: $(cat -A "$E2E_TMP/out.txt")"
kill -TERM $pid
wait_for 20 process_gone $pid || fail "SIGTERM did not end the program"
clean "$dir/log.txt" "log.txt"
clean "$E2E_TMP/out.txt" "the echo"
"$BIN_DIR/obu-line" hangup all >/dev/null
echo "PASS"

#!/usr/bin/env bash
# The dial-up service's serial side from the command line, with real time and
# real processes: a demo entry dialled through the serial driver and the modem
# emulator on a pseudo-terminal, held by the emulator after obu-line ends and
# ended from another obu-line; the failing demo entries' codes; an entry naming
# a real serial device dialled with AT commands and handed to pppd (which, on a
# machine without kernel PPP, ends with its own clear failure and nothing left
# locked), also by a user who is not root; a device the user may not open;
# and chat from the ppp package dialling our emulator.
source "$(dirname "$0")/lib.sh"
BIN_DIR=$1
unset DISPLAY WAYLAND_DISPLAY
LOCKS=${OBU_LOCK_DIR:-/var/lock}

note "Demo ISP through the emulator's pseudo-terminal"
"$BIN_DIR/obu-line" dial "Demo ISP" joe secret >"$E2E_TMP/dial.txt" 2>&1 || fail "dial: $(cat "$E2E_TMP/dial.txt")"
pts=$(sed -n 's/.*Port opened (\(\/dev\/pts\/[0-9]*\)).*/\1/p' "$E2E_TMP/dial.txt")
[[ -n "$pts" ]] || fail "no pseudo-terminal in: $(cat "$E2E_TMP/dial.txt")"
"$BIN_DIR/obu-line" connections >"$E2E_TMP/conn.txt"
grep -Eq "Demo ISP +Connected +Simulated Modem on $pts \(modem\).*held by emulator \(pid [0-9]+\)" "$E2E_TMP/conn.txt" \
    || fail "connections: $(cat "$E2E_TMP/conn.txt")"
holder=$(sed -n 's/.*held by emulator (pid \([0-9]*\)).*/\1/p' "$E2E_TMP/conn.txt")
kill -0 "$holder" || fail "the emulator holding the line is not running"
grep -q "obu-modem" "/proc/$holder/cmdline" || fail "pid $holder is not the emulator"
# The emulator's pseudo-terminal is the call's own: no UUCP lock for it.
lock="$LOCKS/LCK..$(basename "$pts")"
[[ -e "$lock" && "$(tr -d ' \n' <"$lock")" == "$holder" ]] && fail "the emulator's own pseudo-terminal was locked"
"$BIN_DIR/obu-line" hangup "Demo ISP" >/dev/null || fail "hangup failed"
wait_for 10 process_gone "$holder" || fail "the emulator did not end with the hang-up"
"$BIN_DIR/obu-line" connections | grep -q "No connections." || fail "the connection is still listed"

note "the failing demo entries"
for pair in "Demo Always Busy:676" "Demo No Dial Tone:680" "Demo No Answer:678"; do
    entry=${pair%:*}
    code=${pair##*:}
    "$BIN_DIR/obu-line" dial "$entry" >"$E2E_TMP/fail.txt" 2>&1 && fail "$entry connected"
    grep -q "failed at \"Connecting device\": error $code:" "$E2E_TMP/fail.txt" || fail "$entry: $(cat "$E2E_TMP/fail.txt")"
    grep -q "Port opened (/dev/pts/" "$E2E_TMP/fail.txt" || fail "$entry did not go through a pseudo-terminal"
done

note "an entry naming a serial device: AT commands, then pppd"
"$BIN_DIR/obu-modem" --link "$E2E_TMP/ttyMODEM" --ring-ms 500 --transcript "$E2E_TMP/modem.log" >"$E2E_TMP/modem.out" 2>&1 &
E2E_PIDS+=($!)
wait_for 10 test -L "$E2E_TMP/ttyMODEM" || fail "obu-modem did not start"
printf '[Real Modem]\nDevice=%s\nSpeed=115200\nInitString=AT&F&C1&D2\nPhoneNumber=555-0199\n' "$E2E_TMP/ttyMODEM" >"$E2E_TMP/real.pbk"
"$BIN_DIR/obu-line" --phonebook "$E2E_TMP/real.pbk" dial "Real Modem" joe secret >"$E2E_TMP/real.txt" 2>&1 && fail "a PPP link came up"
cat "$E2E_TMP/real.txt"
grep -q "All devices connected" "$E2E_TMP/real.txt" || fail "the modem did not connect"
if [[ ! -x /usr/sbin/pppd ]]; then
    # Without the ppp package the PPP stage cannot start, and says so.
    grep -q "error 720:" "$E2E_TMP/real.txt" || fail "a missing pppd is not reported"
elif [[ -e /dev/ppp ]]; then
    note "this machine has kernel PPP: pppd's own failure was $(tail -n 1 "$E2E_TMP/real.txt")"
else
    grep -q "failed at \"Authenticating\": error 711: This computer's kernel has no PPP support" "$E2E_TMP/real.txt" \
        || fail "no clear kernel-support failure"
    grep -q "pppd exit 4" "$E2E_TMP/real.txt" || fail "pppd's exit is not explained"
fi
sed -n '1,4p' "$E2E_TMP/modem.log" | paste -sd' ' | grep -qx "ATZ AT&F&C1&D2 ATX4 ATDT5550199" || fail "commands: $(cat "$E2E_TMP/modem.log")"
grep -q "^ATH0$" "$E2E_TMP/modem.log" || fail "the modem was not hung up: $(cat "$E2E_TMP/modem.log")"
[[ ! -e "$LOCKS/LCK..ttyMODEM" ]] || fail "the device is still locked"
"$BIN_DIR/obu-line" connections | grep -q "No connections." || fail "a connection is left"

note "a user who is not root, in the groups dip and dialout, dials a real modem"
if [[ $(id -u) -ne 0 ]]; then
    echo "not run as root: no test user can be made; not checked"
elif [[ ! -x /usr/sbin/pppd || -e /dev/ppp ]]; then
    echo "pppd missing or kernel PPP present: the expected end differs; not checked"
else
    user=obu-dialer
    id "$user" >/dev/null 2>&1 \
        || useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$user" \
        || fail "cannot create the user $user"
    usermod -a -G dip,dialout "$user" || fail "cannot put $user in dip and dialout"
    as_user() { setpriv --reuid="$user" --regid="$user" --init-groups -- env -i PATH=/usr/bin:/bin HOME=/nonexistent "$@"; }
    U="$E2E_TMP/user"
    mkdir -p "$U" && chown "$user" "$U" && chmod 711 "$E2E_TMP"
    # noauth is refused to a user on pppd's command line; a peer file of root's says it.
    peer="obu-e2e-$$"
    printf 'noauth\n' >"/etc/ppp/peers/$peer"
    trap 'rm -f "/etc/ppp/peers/$peer"; cleanup' EXIT
    tty="ttyOBU$$"
    # Not through the function: a simple command in the background is the very
    # pid (setpriv and env exec the emulator) that cleanup ends.
    setpriv --reuid="$user" --regid="$user" --init-groups -- env -i PATH=/usr/bin:/bin \
        "$BIN_DIR/obu-modem" --link "$U/$tty" --ring-ms 300 --transcript "$U/modem.log" >"$E2E_TMP/user-modem.out" 2>&1 &
    E2E_PIDS+=($!)
    wait_for 10 test -L "$U/$tty" || fail "obu-modem did not start as $user"
    printf '[Real Modem]\nDevice=%s\nPhoneNumber=555-0199\nPppPeer=%s\n' "$U/$tty" "$peer" >"$U/real.pbk"
    as_user OBU_LINES_DIR="$U/lines" "$BIN_DIR/obu-line" --phonebook "$U/real.pbk" dial "Real Modem" joe secret \
        >"$E2E_TMP/user.txt" 2>&1 && fail "a PPP link came up"
    cat "$E2E_TMP/user.txt"
    grep -q "privilege" "$E2E_TMP/user.txt" && fail "pppd was given a privileged option"
    grep -q "failed at \"Authenticating\": error 711:" "$E2E_TMP/user.txt" || fail "pppd did not reach the kernel check"
    grep -q "^ATH0$" "$U/modem.log" || fail "the modem was not hung up: $(cat "$U/modem.log")"
    wait_for 10 test ! -e "/var/lock/LCK..$tty" || fail "the device is still locked"

    note "a serial device that the user may not open names the group to join"
    "$BIN_DIR/obu-modem" --link "$E2E_TMP/ttyROOT" >"$E2E_TMP/root-modem.out" 2>&1 &
    E2E_PIDS+=($!)
    wait_for 10 test -L "$E2E_TMP/ttyROOT" || fail "obu-modem did not start"
    chgrp uucp "$(readlink "$E2E_TMP/ttyROOT")" && chmod 660 "$(readlink "$E2E_TMP/ttyROOT")"
    printf '[Locked Out]\nDevice=%s\nPhoneNumber=1\n' "$(readlink "$E2E_TMP/ttyROOT")" >"$U/out.pbk"
    as_user OBU_LINES_DIR="$U/lines" "$BIN_DIR/obu-line" --phonebook "$U/out.pbk" dial "Locked Out" \
        >"$E2E_TMP/denied.txt" 2>&1 && fail "a device of another group was opened"
    cat "$E2E_TMP/denied.txt"
    grep -q "error 5: You may not open the modem's serial device" "$E2E_TMP/denied.txt" || fail "no permission error"
    grep -q "belongs to the group uucp and $user is not in it" "$E2E_TMP/denied.txt" || fail "the group is not named"

    note "links laid in the shared lock folder by another user are never followed"
    intruder=obu-intruder
    id "$intruder" >/dev/null 2>&1 \
        || useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$intruder" \
        || fail "cannot create the user $intruder"
    shared="$E2E_TMP/locks"
    mkdir -p "$shared" && chmod 1777 "$shared"
    echo keep >"$U/precious" && chown "$user" "$U/precious"
    # The names a hand-over of the lock could use, for every pseudo-terminal
    # the emulator may get. (With fs.protected_symlinks=1 the kernel would
    # refuse to follow them anyway; here it is $(cat /proc/sys/fs/protected_symlinks).)
    setpriv --reuid="$intruder" --regid="$intruder" --clear-groups -- sh -c \
        'for i in $(seq 0 200); do ln -s "$1" "$2/LCK..$i.new"; done' sh "$U/precious" "$shared" \
        || fail "the intruder could not lay links"
    as_user OBU_LINES_DIR="$U/lines" OBU_LOCK_DIR="$shared" OBU_PHONEBOOK="$U/none.pbk" \
        "$BIN_DIR/obu-line" dial "Demo ISP" >"$E2E_TMP/victim.txt" 2>&1 || fail "dial: $(cat "$E2E_TMP/victim.txt")"
    [[ "$(cat "$U/precious")" == keep ]] || fail "the victim's file was written through a link: $(cat "$U/precious")"
    [[ -z "$(find "$shared" -user "$user")" ]] || fail "a lock was taken for the emulator's own pseudo-terminal"
    as_user OBU_LINES_DIR="$U/lines" "$BIN_DIR/obu-line" hangup all >/dev/null || fail "hangup failed"
    # A link where the lock itself goes: the device is not used, the link is left.
    setpriv --reuid="$intruder" --regid="$intruder" --clear-groups -- ln -s "$U/precious" "$shared/LCK..$tty" \
        || fail "the intruder could not lay the lock's link"
    as_user OBU_LINES_DIR="$U/lines" OBU_LOCK_DIR="$shared" "$BIN_DIR/obu-line" --phonebook "$U/real.pbk" \
        dial "Real Modem" >"$E2E_TMP/linked.txt" 2>&1 && fail "a device with a forged lock was dialled"
    grep -q "error 633:.*" "$E2E_TMP/linked.txt" && grep -q "is not a lock file" "$E2E_TMP/linked.txt" \
        || fail "the forged lock is not reported: $(cat "$E2E_TMP/linked.txt")"
    [[ "$(cat "$U/precious")" == keep && -L "$shared/LCK..$tty" ]] || fail "the forged lock or its target changed"
fi

note "chat dials the emulator"
command -v chat >/dev/null || { echo "chat is not installed (package ppp): not checked"; echo "PASS"; exit 0; }
modem_pts=$(head -n 1 "$E2E_TMP/modem.out")
chat -t 5 ABORT BUSY ABORT "NO CARRIER" '' ATZ OK ATDT5550100 CONNECT '' <"$modem_pts" >"$modem_pts" \
    || fail "chat could not dial the emulator (exit $?)"
echo "PASS"

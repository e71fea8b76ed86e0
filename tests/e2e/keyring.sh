#!/usr/bin/env bash
# Passwords in the keyring, against a real gnome-keyring-daemon on a private
# session bus (its login keyring made and unlocked with a password on its
# standard input): an installed copy moves a password from obu.ini to the
# keyring when it first reads it, --password-stdin stores there, obu-line
# dial finds it there; a keyring that cannot be reached is said and the dial
# goes on without a password. On a bus without a Secret Service, and in a
# portable copy, obu.ini keeps the password as before. Then the client's own
# tests on both buses.
source "$(dirname "$0")/lib.sh"
BIN_DIR=$1
CLIENT_TEST=$2
BUS_CONFIG="$(dirname "$0")/keyring/session-bus.conf"
unset DISPLAY WAYLAND_DISPLAY XDG_CONFIG_HOME XDG_STATE_HOME XDG_DATA_HOME
for tool in dbus-daemon dbus-send gnome-keyring-daemon; do
    command -v $tool >/dev/null || fail "$tool is not installed (tools/install-deps.sh --test installs it)"
done
export XDG_RUNTIME_DIR="$E2E_TMP/run"
mkdir -m 0700 "$XDG_RUNTIME_DIR"

# start_bus NAME: a private session bus; its address in $E2E_TMP/NAME.address.
start_bus() {
    dbus-daemon --config-file="$BUS_CONFIG" --fork --print-address=3 --print-pid=4 \
        3>"$E2E_TMP/$1.address" 4>"$E2E_TMP/$1.pid" || fail "dbus-daemon did not start"
    E2E_PIDS+=($(cat "$E2E_TMP/$1.pid"))
}
address() { head -n1 "$E2E_TMP/$1.address"; }
owned() {
    DBUS_SESSION_BUS_ADDRESS=$1 dbus-send --session --print-reply --dest=org.freedesktop.DBus \
        /org/freedesktop/DBus org.freedesktop.DBus.NameHasOwner string:org.freedesktop.secrets |
        grep -q 'boolean true'
}
shifted() { python3 -c 'import sys; print("".join(chr((ord(c) + 7) % 256) for c in sys.argv[1]))' "$1"; }

note "a keyring on a private bus"
start_bus keyring
start_bus empty
export DBUS_SESSION_BUS_ADDRESS=$(address keyring)
KEYRING_HOME="$E2E_TMP/keyring-home"
mkdir -p "$KEYRING_HOME"
# --foreground keeps the daemon our child, to be ended by its pid; --unlock
# makes the login keyring (the default) with the password it reads.
printf 'keyring-password' | HOME="$KEYRING_HOME" XDG_DATA_HOME="$KEYRING_HOME/data" \
    gnome-keyring-daemon --foreground --unlock --components=secrets >"$E2E_TMP/keyring.log" 2>&1 &
E2E_PIDS+=($!)
wait_for 30 owned "$DBUS_SESSION_BUS_ADDRESS" || fail "gnome-keyring-daemon did not come: $(cat "$E2E_TMP/keyring.log")"
owned "$(address empty)" && fail "the empty bus has a Secret Service"

printf '[Demo ISP]\nPhoneNumber=555-0100\nAcceptUser=ann\nAcceptPassword=s3cret\n' >"$OBU_PHONEBOOK"
# settings HOME PASSWORD: an obu.ini of today, the password shifted.
settings() {
    mkdir -p "$(dirname "$1")"
    local stored; stored=$(shifted "$2")
    printf '[Connection]\r\nName=Demo ISP\r\nUsername=ann\r\nPassword=%s\r\n[Demo ISP]\r\nUsername=ann\r\nPassword=%s\r\n' \
        "$stored" "$stored" >"$1"
}
# run_obu PROGRAM NAME: starts obu headless, ends it by SIGTERM once launched.
run_obu() {
    local out="$E2E_TMP/obu-$2.txt"
    "$1/obu" --headless >"$out" 2>&1 &
    local pid=$!
    E2E_PIDS+=($pid)
    wait_for 30 grep -q "OBU Launched" "$out" || fail "no launch: $(cat "$out")"
    kill -TERM $pid
    wait_for 30 process_gone $pid || fail "SIGTERM did not end obu"
    wait $pid || fail "obu's exit status $?: $(cat "$out")"
}
held() { OBU_TEST_ENTRY="Demo ISP" OBU_TEST_SECRET=$1 "$CLIENT_TEST" --gtest_filter=HeldSecret.* >"$E2E_TMP/held.txt" 2>&1 || fail "the keyring: $(cat "$E2E_TMP/held.txt")"; }
# dial EXPECTED_STATUS NAME: obu-line dial "Demo ISP" with the stored credentials.
dial() {
    "$program/obu-line" dial "Demo ISP" >"$E2E_TMP/dial-$2.txt" 2>&1
    local status=$?
    [[ $status -eq $1 ]] || fail "dial exit status $status: $(cat "$E2E_TMP/dial-$2.txt")"
    "$program/obu-line" hangup all >/dev/null 2>&1
}

note "an installed copy moves the password to the keyring when it reads it"
export HOME="$E2E_TMP/home-installed"
ini="$HOME/.config/obu/obu.ini"
program=$(install_program "$BIN_DIR")
touch "$program/obu.installed"
settings "$ini" s3cret
run_obu "$program" installed
grep -q "$(shifted s3cret)" "$ini" || fail "the section not read yet lost its password: $(cat "$ini")"
sed -n '/^\[Connection\]/,/^\[/p' "$ini" | tr -d '\r' >"$E2E_TMP/connection.txt"
grep -qx 'Password=' "$E2E_TMP/connection.txt" && grep -qx 'PasswordInKeyring=1' "$E2E_TMP/connection.txt" ||
    fail "obu.ini: $(cat "$ini")"
held s3cret
if command -v secret-tool >/dev/null; then
    [[ $(secret-tool lookup application obu-linekeeper entry "Demo ISP") == s3cret ]] || fail "secret-tool finds no password"
fi

note "obu-line dial finds the password in the keyring"
dial 0 keyring
grep -q "Connected to Demo ISP" "$E2E_TMP/dial-keyring.txt" || fail "dial: $(cat "$E2E_TMP/dial-keyring.txt")"

note "--password-stdin stores in the keyring"
printf 'n3w-pass\n' | "$program/obu" --entry "Demo ISP" --user ann --password-stdin >"$E2E_TMP/stdin.txt" 2>&1 ||
    fail "--password-stdin: $(cat "$E2E_TMP/stdin.txt")"
[[ $(tr -d '\r' <"$ini" | grep -c '^PasswordInKeyring=1$') -eq 2 && $(tr -d '\r' <"$ini" | grep -c '^Password=$') -eq 2 ]] ||
    fail "obu.ini: $(cat "$ini")"
held n3w-pass
sed -i 's/^AcceptPassword=.*/AcceptPassword=n3w-pass/' "$OBU_PHONEBOOK"
dial 0 new-password

note "a keyring that cannot be reached is said, and the dial goes on without the password"
DBUS_SESSION_BUS_ADDRESS=$(address empty) dial 1 unreachable
grep -q 'cannot be read from the keyring (no Secret Service runs on the session bus)' "$E2E_TMP/dial-unreachable.txt" ||
    fail "dial: $(cat "$E2E_TMP/dial-unreachable.txt")"
grep -q 'failed at' "$E2E_TMP/dial-unreachable.txt" || fail "dial: $(cat "$E2E_TMP/dial-unreachable.txt")"
keyring_ini=$(cat "$ini")
DBUS_SESSION_BUS_ADDRESS=$(address empty) run_obu "$program" unreachable
grep -q 'obu: the password of "Demo ISP" cannot be read from the keyring' "$E2E_TMP/obu-unreachable.txt" ||
    fail "not said: $(cat "$E2E_TMP/obu-unreachable.txt")"
grep -q 'Keyring: the password of "Demo ISP" cannot be read' "$HOME/.local/state/obu/log.txt" ||
    fail "not logged: $(cat "$HOME/.local/state/obu/log.txt")"
[[ "$(cat "$ini")" == "$keyring_ini" ]] || fail "the save at exit changed the keys: $(cat "$ini")"
dial 0 keyring-again

note "without a Secret Service on the bus, obu.ini keeps the password as before"
export HOME="$E2E_TMP/home-no-keyring"
ini="$HOME/.config/obu/obu.ini"
settings "$ini" n3w-pass
before=$(cat "$ini")
DBUS_SESSION_BUS_ADDRESS=$(address empty) run_obu "$program" no-keyring
grep -q 'stays in .*obu.ini: the keyring cannot take it (no Secret Service' "$E2E_TMP/obu-no-keyring.txt" ||
    fail "not said: $(cat "$E2E_TMP/obu-no-keyring.txt")"
grep -q "$(shifted n3w-pass)" "$ini" && ! grep -q PasswordInKeyring "$ini" || fail "obu.ini: $(cat "$ini")"
DBUS_SESSION_BUS_ADDRESS=$(address empty) dial 0 no-keyring

note "a portable copy keeps the password in its own obu.ini"
portable=$(install_program "$BIN_DIR")
settings "$portable/obu.ini" portable-pass
run_obu "$portable" portable
grep -q "$(shifted portable-pass)" "$portable/obu.ini" && ! grep -q PasswordInKeyring "$portable/obu.ini" ||
    fail "obu.ini: $(cat "$portable/obu.ini")"
held n3w-pass

note "the client against the keyring, then on a bus without one"
"$CLIENT_TEST" --gtest_filter='SecretServiceTest.*' >"$E2E_TMP/client.txt" 2>&1 || fail "$(cat "$E2E_TMP/client.txt")"
DBUS_SESSION_BUS_ADDRESS=$(address empty) "$CLIENT_TEST" --gtest_filter='NoSecretService.*:PromptTest.*' >"$E2E_TMP/client-empty.txt" 2>&1 ||
    fail "$(cat "$E2E_TMP/client-empty.txt")"
echo "PASS"

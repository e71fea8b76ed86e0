#!/usr/bin/env bash
# The NetworkManager client against a real NetworkManager in a sandbox: its
# profiles, its own and outside activations and deactivations, failures and
# their reasons; silence without a bus or without NetworkManager, and
# NetworkManager coming later, leaving and coming back.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/nm-sandbox.sh"
# Ended with this shell, however that ends.
TEST_BIN=(setpriv --pdeathsig KILL "$2")
started=$SECONDS
trap 'nm_sandbox_stop; cleanup' EXIT
trap 'exit 143' TERM INT HUP
nm_sandbox_require

# silent WHAT ARGS...: runs the test program, which must pass and print nothing on standard error.
silent() {
    local what=$1; shift
    "${TEST_BIN[@]}" "$@" 2>"$E2E_TMP/stderr.txt" || fail "the client $what: $(cat "$E2E_TMP/stderr.txt")"
    [[ -s "$E2E_TMP/stderr.txt" ]] && fail "the client spoke $what: $(cat "$E2E_TMP/stderr.txt")"
    return 0
}

note "no bus"
DBUS_SYSTEM_BUS_ADDRESS="unix:path=$E2E_TMP/no-bus" silent "without a bus" --gtest_filter='NetworkManagerAbsent.*'
NM_DIR="$E2E_TMP/nm"
mkdir -p "$NM_DIR"
nm_bus_start
note "a bus without NetworkManager"
silent "without NetworkManager" --gtest_filter='NetworkManagerAbsent.*'

"${TEST_BIN[@]}" --gtest_filter='NetworkManagerArrives.*' >"$E2E_TMP/arrives.txt" 2>&1 &
arrives=$!
E2E_PIDS+=($arrives)
wait_for 30 grep -q "waiting for NetworkManager" "$E2E_TMP/arrives.txt" || fail "$(cat "$E2E_TMP/arrives.txt")"

nm_sandbox_start
profile() { nmcli connection add connection.autoconnect no ipv6.method disabled "$@" >/dev/null || fail "cannot add $*"; }
manual=(ipv4.method manual ipv4.addresses 10.213.0.1/30)
profile type ethernet con-name obu-line ifname "$NM_LINK" "${manual[@]}"
# 802.1X whose password only an agent could give: there is none.
profile type ethernet con-name obu-secret ifname "$NM_LINK" "${manual[@]}" \
    802-1x.eap md5 802-1x.identity test 802-1x.password-flags 2
profile type ethernet con-name obu-elsewhere ifname obu9 "${manual[@]}"

note "NetworkManager comes, goes and comes back"
wait_for 30 grep -q "NetworkManager seen" "$E2E_TMP/arrives.txt" || fail "$(cat "$E2E_TMP/arrives.txt")"
nm_stop
nm_start
wait "$arrives" || fail "$(cat "$E2E_TMP/arrives.txt")"

note "against NetworkManager $(NetworkManager --version)"
export OBU_NM_NETNS=$NM_NETNS OBU_NM_FAR_NETNS=$NM_FAR_NETNS OBU_NM_LINK=$NM_LINK OBU_NM_FAR_LINK=$NM_FAR_LINK
"${TEST_BIN[@]}" --gtest_filter='NetworkManager.*:NetworkManagerService.*' || fail "$(tail -n 30 "$NM_DIR/nm.log")"
note "took $((SECONDS - started)) s"

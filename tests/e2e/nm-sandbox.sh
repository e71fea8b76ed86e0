# A real NetworkManager for a test, never touching the host's network: a
# private D-Bus system bus, NetworkManager with its own state and run folders
# in a network namespace of its own, and in it one end of a veth pair whose far
# end lives in a second namespace. Everything is started and ended by process
# id, and nm_sandbox_stop (run it from the test's EXIT trap) removes it all.
#
# Source it after lib.sh. After nm_sandbox_start:
#   DBUS_SYSTEM_BUS_ADDRESS  the private bus (exported; nmcli and the client use it)
#   NM_NETNS, NM_FAR_NETNS   the namespaces; NM_LINK is NetworkManager's end of
#                            the pair, NM_FAR_LINK the far one
# nm_stop and nm_start then stop and start NetworkManager alone; its profiles
# stay.
NM_DIR=""
NM_NETNS="obu-nm-$$"
NM_FAR_NETNS="obu-nm-far-$$"
NM_LINK=obu0
NM_FAR_LINK=obu0far
NM_BUS_PID=""
NM_PID=""

# Ends the test as skipped (CTest SKIP_RETURN_CODE 77) with the reason, where
# it cannot run: not root, or no network namespaces. Missing programs fail
# instead: tools/install-deps.sh --test installs them.
nm_sandbox_require() {
    if [[ $(id -u) -ne 0 ]]; then
        echo "SKIP: a NetworkManager of its own needs root (network namespaces, its own mounts)"
        exit 77
    fi
    local tool
    for tool in NetworkManager nmcli dbus-daemon ip unshare setpriv; do
        command -v "$tool" >/dev/null || fail "$tool is missing (tools/install-deps.sh --test installs it)"
    done
    nm_sweep
    if ! ip netns add "$NM_NETNS" 2>"$E2E_TMP/netns.err"; then
        echo "SKIP: the kernel refuses network namespaces: $(cat "$E2E_TMP/netns.err")"
        exit 77
    fi
}

# A run killed outright (a timeout's SIGKILL runs no trap) leaves its
# namespaces: those of this test whose shell is gone go, with what runs in them.
nm_sweep() {
    local ns pid
    for ns in $(ip netns list 2>/dev/null | awk '{print $1}' | grep -E '^obu-nm-(far-)?[0-9]+$'); do
        kill -0 "${ns##*-}" 2>/dev/null && continue
        for pid in $(ip netns pids "$ns" 2>/dev/null); do kill -KILL "$pid" 2>/dev/null; done
        ip netns del "$ns" 2>/dev/null
    done
}

# Starts the bus, the pair and NetworkManager, and waits until NetworkManager
# manages its end of the pair.
nm_sandbox_start() {
    NM_DIR="$E2E_TMP/nm"
    mkdir -p "$NM_DIR/connections" "$NM_DIR/state" "$NM_DIR/run/NetworkManager"
    chmod 0700 "$NM_DIR/connections"
    ip netns list | grep -q "^$NM_NETNS\b" || ip netns add "$NM_NETNS" || fail "cannot add $NM_NETNS"
    ip netns add "$NM_FAR_NETNS" || fail "cannot add $NM_FAR_NETNS"
    nm_link_plug || fail "cannot make the veth pair"
    [[ -n "$NM_BUS_PID" ]] || nm_bus_start
    cat >"$NM_DIR/nm.conf" <<CONF
[main]
plugins=keyfile
auth-polkit=false
dns=none
rc-manager=unmanaged
no-auto-default=*
[keyfile]
path=$NM_DIR/connections
[logging]
level=INFO
CONF
    nm_start
}

# Starts NetworkManager alone (again, after nm_stop) and waits until it
# manages its end of the pair.
nm_start() {
    # ip netns exec gives the namespace's own /sys; a private mount namespace
    # gives NetworkManager a /run and a state folder of its own, both kept
    # across its restarts (so it can take back the connections it left up, as
    # on a real machine). A read-only /sys makes it take links as ready
    # without udev.
    # The parent-death signal ends it with the test's shell, however that ends.
    setpriv --pdeathsig KILL ip netns exec "$NM_NETNS" unshare -m sh -c "
        mount --bind '$NM_DIR/run' /run &&
        mount --bind '$NM_DIR/state' /var/lib/NetworkManager &&
        mount -o remount,ro /sys &&
        exec NetworkManager --no-daemon --debug --config='$NM_DIR/nm.conf'" >>"$NM_DIR/nm.log" 2>&1 &
    NM_PID=$!
    wait_for 30 nm_device_ready || fail "NetworkManager did not start: $(tail -n 20 "$NM_DIR/nm.log")"
}

nm_stop() {
    nm_end "$NM_PID"
    NM_PID=""
}

nm_end() {
    [[ -n "$1" ]] && kill -TERM "$1" 2>/dev/null || return 0
    wait_for 10 process_gone "$1" || kill -KILL "$1" 2>/dev/null
    wait "$1" 2>/dev/null
}

# The private system bus: NetworkManager (root) may own its name, root may
# call it; nothing else is allowed.
nm_bus_start() {
    cat >"$NM_DIR/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=$NM_DIR/system_bus_socket</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <deny own="*"/>
    <deny send_type="method_call"/>
    <allow send_type="signal"/>
    <allow send_requested_reply="true" send_type="method_return"/>
    <allow send_requested_reply="true" send_type="error"/>
    <allow receive_type="method_call"/>
    <allow receive_type="method_return"/>
    <allow receive_type="error"/>
    <allow receive_type="signal"/>
    <allow send_destination="org.freedesktop.DBus" send_interface="org.freedesktop.DBus"/>
    <allow send_destination="org.freedesktop.DBus" send_interface="org.freedesktop.DBus.Introspectable"/>
  </policy>
  <policy user="root">
    <allow own="org.freedesktop.NetworkManager"/>
    <allow send_destination="org.freedesktop.NetworkManager"/>
  </policy>
</busconfig>
CONF
    setpriv --pdeathsig KILL dbus-daemon --config-file="$NM_DIR/bus.conf" --nofork --nosyslog --print-address=1 \
        >"$NM_DIR/bus.address" 2>"$NM_DIR/bus.log" &
    NM_BUS_PID=$!
    wait_for 30 test -s "$NM_DIR/bus.address" || fail "dbus-daemon did not start: $(cat "$NM_DIR/bus.log")"
    export DBUS_SYSTEM_BUS_ADDRESS=$(head -n1 "$NM_DIR/bus.address")
}

# Managed: free, or (after a restart) up with the connection it took back.
nm_device_ready() { nmcli -t -f DEVICE,STATE device 2>/dev/null | grep -qE "^$NM_LINK:(disconnected|connected)"; }

# Makes the veth pair, its far end up in the far namespace.
nm_link_plug() {
    ip -n "$NM_NETNS" link add "$NM_LINK" type veth peer name "$NM_FAR_LINK" netns "$NM_FAR_NETNS" &&
        ip -n "$NM_FAR_NETNS" address add 10.213.0.2/30 dev "$NM_FAR_LINK" &&
        ip -n "$NM_FAR_NETNS" link set "$NM_FAR_LINK" up
}

# Ends it all; safe to run more than once and after a partial start.
nm_sandbox_stop() {
    nm_stop
    nm_end "$NM_BUS_PID"
    NM_BUS_PID=""
    ip netns del "$NM_FAR_NETNS" 2>/dev/null
    ip netns del "$NM_NETNS" 2>/dev/null
    [[ -n "$NM_DIR" ]] && rm -rf "$NM_DIR"
}

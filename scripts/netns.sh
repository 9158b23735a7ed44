#!/usr/bin/env bash
# Private network namespaces for end-to-end tests, demos and benchmarks.
#
# Two namespaces joined by a veth pair, nothing else:
#   tool namespace    korvo-tool-<id>  veth "ktool"  10.231.0.1/24
#   device namespace  korvo-dev-<id>   veth "kdev"   10.231.0.2/24
# Loopback is up in both, and each has a default route over its veth end, so
# a datagram to the limited broadcast address 255.255.255.255 sent in the
# tool namespace leaves through the veth and reaches the device namespace.
# Nothing is created or changed in the host's own network namespace.
#
# Usage:
#   netns.sh run [options] -- [device command...] -- tool command...
#       Creates a fresh pair (id = this script's process id), starts the
#       device command (if any) in the background in the device namespace,
#       runs the tool command in the tool namespace, stops the device command
#       and removes both namespaces, also when something fails or the script
#       is interrupted. Exits with the tool command's status.
#       Options:
#         --wait-udp PORT  before the tool command starts, wait (at most 10 s)
#                          until a UDP socket on PORT exists in the device
#                          namespace; fail if the device command ends first
#         --no-route       leave out the default routes (only the /24 subnet
#                          route remains, so 255.255.255.255 is unreachable)
#       Both commands see the environment variables
#         KORVO_TOOL_NS, KORVO_DEVICE_NS    the namespace names
#         KORVO_TOOL_IP=10.231.0.1, KORVO_DEVICE_IP=10.231.0.2
#       so a tool command may start further device programs itself with
#       "ip netns exec $KORVO_DEVICE_NS program ...".
#   netns.sh up ID [--no-route]   creates korvo-tool-ID and korvo-dev-ID
#   netns.sh down ID              removes them (no error if absent)
#   netns.sh exec ID tool|dev -- command...
#                                 runs a command in one of them
#   netns.sh check                tells whether namespaces can be created here
#
# Needs root (or CAP_NET_ADMIN and CAP_SYS_ADMIN) and iproute2. Without them
# every subcommand except "down" fails with exit status 2 and says why, so a
# test that depends on it fails loudly instead of being skipped.
set -euo pipefail

readonly TOOL_IP=10.231.0.1
readonly DEVICE_IP=10.231.0.2
readonly PREFIX=24

die() {
    echo "netns.sh: $*" >&2
    exit 2
}

tool_ns() { echo "korvo-tool-$1"; }
dev_ns() { echo "korvo-dev-$1"; }

require_privileges() {
    command -v ip >/dev/null 2>&1 || die "the 'ip' command (iproute2) is not installed"
    if [ "$(id -u)" -ne 0 ]; then
        die "network namespaces need root: running as uid $(id -u); run the end-to-end tests as root"
    fi
}

ns_down() {
    local id=$1
    # Deleting a namespace also deletes the veth end inside it and with it
    # the peer.
    ip netns del "$(tool_ns "$id")" 2>/dev/null || true
    ip netns del "$(dev_ns "$id")" 2>/dev/null || true
}

ns_up() {
    local id=$1 route=$2
    local tns dns
    tns=$(tool_ns "$id")
    dns=$(dev_ns "$id")
    require_privileges
    if ip netns list | grep -qE "^(${tns}|${dns})( |$)"; then
        die "namespace ${tns} or ${dns} exists already"
    fi
    ip netns add "$tns" || die "cannot create network namespace ${tns}"
    if ! ip netns add "$dns"; then
        ip netns del "$tns" 2>/dev/null || true
        die "cannot create network namespace ${dns}"
    fi
    # The pair is created inside the tool namespace, its peer moved straight
    # into the device namespace: the host namespace never sees it.
    ip -n "$tns" link add ktool type veth peer name kdev netns "$dns"
    ip -n "$tns" addr add "${TOOL_IP}/${PREFIX}" dev ktool
    ip -n "$dns" addr add "${DEVICE_IP}/${PREFIX}" dev kdev
    ip -n "$tns" link set lo up
    ip -n "$dns" link set lo up
    ip -n "$tns" link set ktool up
    ip -n "$dns" link set kdev up
    if [ "$route" = yes ]; then
        ip -n "$tns" route add default dev ktool
        ip -n "$dns" route add default dev kdev
    fi
}

ns_exec() {
    local id=$1 side=$2
    shift 2
    local ns
    case "$side" in
        tool) ns=$(tool_ns "$id") ;;
        dev | device) ns=$(dev_ns "$id") ;;
        *) die "exec: side must be 'tool' or 'dev', not '$side'" ;;
    esac
    KORVO_TOOL_NS=$(tool_ns "$id") KORVO_DEVICE_NS=$(dev_ns "$id") \
        KORVO_TOOL_IP=$TOOL_IP KORVO_DEVICE_IP=$DEVICE_IP \
        exec ip netns exec "$ns" "$@"
}

# True when a UDP socket bound to the port exists in the namespace.
udp_port_bound() {
    local ns=$1 port=$2 hex
    hex=$(printf '%04X' "$port")
    ip netns exec "$ns" cat /proc/net/udp | awk -v p=":$hex" 'NR > 1 && substr($2, length($2) - 4) == p { found = 1 } END { exit !found }'
}

cmd_run() {
    local wait_port="" route=yes
    while [ $# -gt 0 ]; do
        case "$1" in
            --wait-udp) [ $# -ge 2 ] || die "--wait-udp needs a port"; wait_port=$2; shift 2 ;;
            --no-route) route=no; shift ;;
            --) shift; break ;;
            *) die "run: unknown option '$1' (see the top of $0)" ;;
        esac
    done
    local device=()
    while [ $# -gt 0 ] && [ "$1" != "--" ]; do
        device+=("$1")
        shift
    done
    [ $# -gt 0 ] || die "run: expected '-- [device command] -- tool command'"
    shift
    [ $# -gt 0 ] || die "run: the tool command is missing"
    local tool=("$@")

    local id=$$
    local tns dns
    tns=$(tool_ns "$id")
    dns=$(dev_ns "$id")
    local device_pid=""

    cleanup() {
        local status=$?
        trap - EXIT INT TERM HUP
        if [ -n "$device_pid" ] && kill -0 "$device_pid" 2>/dev/null; then
            kill -TERM "$device_pid" 2>/dev/null || true
            for _ in $(seq 1 50); do
                kill -0 "$device_pid" 2>/dev/null || break
                sleep 0.1
            done
            kill -KILL "$device_pid" 2>/dev/null || true
            wait "$device_pid" 2>/dev/null || true
        fi
        ns_down "$id"
        exit "$status"
    }
    trap cleanup EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
    trap 'exit 129' HUP

    ns_down "$id"  # leftovers of a killed run that had the same process id
    ns_up "$id" "$route"

    export KORVO_TOOL_NS=$tns KORVO_DEVICE_NS=$dns KORVO_TOOL_IP=$TOOL_IP KORVO_DEVICE_IP=$DEVICE_IP
    if [ ${#device[@]} -gt 0 ]; then
        ip netns exec "$dns" "${device[@]}" &
        device_pid=$!
    fi
    if [ -n "$wait_port" ]; then
        local waited=0
        until udp_port_bound "$dns" "$wait_port"; do
            if [ -n "$device_pid" ] && ! kill -0 "$device_pid" 2>/dev/null; then
                echo "netns.sh: the device command ended before it bound UDP port ${wait_port}" >&2
                exit 2
            fi
            waited=$((waited + 1))
            [ "$waited" -le 100 ] || { echo "netns.sh: nothing bound UDP port ${wait_port} within 10 s" >&2; exit 2; }
            sleep 0.1
        done
    fi

    local status=0
    ip netns exec "$tns" "${tool[@]}" || status=$?
    exit "$status"
}

[ $# -gt 0 ] || die "usage: netns.sh run|up|down|exec|check ... (see the top of $0)"
sub=$1
shift
case "$sub" in
    run) cmd_run "$@" ;;
    up)
        [ $# -ge 1 ] || die "up: the id is missing"
        id=$1; shift
        route=yes
        [ "${1:-}" = "--no-route" ] && route=no
        ns_up "$id" "$route"
        echo "$(tool_ns "$id") $(dev_ns "$id")"
        ;;
    down)
        [ $# -ge 1 ] || die "down: the id is missing"
        ns_down "$1"
        ;;
    exec)
        [ $# -ge 3 ] || die "exec: usage: netns.sh exec ID tool|dev -- command..."
        id=$1 side=$2
        shift 2
        [ "$1" = "--" ] && shift
        ns_exec "$id" "$side" "$@"
        ;;
    check)
        require_privileges
        probe=check-$$
        ns_up "$probe" yes
        ns_down "$probe"
        echo "netns.sh: network namespaces can be created here"
        ;;
    *) die "unknown subcommand '$sub' (run, up, down, exec, check)" ;;
esac

#!/usr/bin/env bash
# pipeprobe on one machine reaching pipehost on another: two network namespaces made by this test,
# joined by a veth pair, addressed in 10.231.0.0/30 only inside them. The client's namespace knows
# the server by a name of its own (/etc/netns/NS/hosts, which "ip netns exec" puts in place of
# /etc/hosts), so both an address and a machine name are tried. The port is the documented
# default, since the namespaces are private to this test.
#
#   run_pipe_netns.sh PIPEHOST PIPEPROBE
#
# Exits 77 (skipped) where network namespaces cannot be made (not root, no "ip", no rights).
set -uo pipefail

if [[ $# -ne 2 ]]; then
    echo "usage: $0 PIPEHOST PIPEPROBE" >&2
    exit 2
fi
case_name=two_machines pipehost=$1 pipeprobe=$2
runner=()
unset SUNDRA_PIPE_PORT

skip() {
    echo "SKIP [$case_name]: $*"
    exit 77
}
[[ $(id -u) -eq 0 ]] || skip "network namespaces need root"
command -v ip >/dev/null || skip "the ip command (iproute2) is missing"

source "$(dirname "$0")/pipe_test_lib.sh"

tag=$$
ns_server=sundra-pipes-server-$tag
ns_client=sundra-pipes-client-$tag
server_address=10.231.0.1
client_address=10.231.0.2
server_name=sundra-pipe-server

cleanup() {
    cleanup_pipe_work
    ip netns del "$ns_server" 2>/dev/null
    ip netns del "$ns_client" 2>/dev/null
    rm -rf "/etc/netns/$ns_client"
    rmdir --ignore-fail-on-non-empty /etc/netns 2>/dev/null
}
trap cleanup EXIT

ns_run() { timeout -k 5 20 ip netns exec "$@"; }

ip netns add "$ns_server" 2>/dev/null || skip "cannot create network namespaces here"
ip netns add "$ns_client" 2>/dev/null || skip "cannot create network namespaces here"
# The pair is made inside the namespaces: the addresses never appear outside them.
timeout 20 ip link add "vps$tag" netns "$ns_server" type veth peer name "vpc$tag" netns "$ns_client" ||
    skip "cannot create a veth pair"
ns_run "$ns_server" ip link set lo up &&
    ns_run "$ns_server" ip addr add "$server_address/30" dev "vps$tag" &&
    ns_run "$ns_server" ip link set "vps$tag" up &&
    ns_run "$ns_client" ip link set lo up &&
    ns_run "$ns_client" ip addr add "$client_address/30" dev "vpc$tag" &&
    ns_run "$ns_client" ip link set "vpc$tag" up || {
    echo "FAIL [$case_name]: cannot set up the namespaces' network" >&2
    exit 1
}
mkdir -p "/etc/netns/$ns_client"
printf '127.0.0.1 localhost\n%s %s\n' "$server_address" "$server_name" >"/etc/netns/$ns_client/hosts"

server_ns() { runner=(ip netns exec "$ns_server"); }
client_ns() { runner=(ip netns exec "$ns_client"); }

# By address, then by name: each time a fresh pipehost serves the probe from the other machine.
for server in "$server_address" "$server_name"; do
    server_ns
    start_host "host_$tag" "$pipehost"
    if await_created "host_$tag"; then
        client_ns
        run_probe probe .
        expect probe 1 "Can't open pipe: 111"  # "." is the client's own machine: nothing there
        run_probe probe "$server"
        expect probe 0 "Success"
    fi
    finish_host "host_$tag"
    expect "host_$tag" 0 "Success"
done

if ((failures > 0)); then
    exit 1
fi
echo "PASS [$case_name]"

#!/usr/bin/env bash
# One case of the named-pipe test tools, run as a user runs them:
#
#   run_pipe_cases.sh [--runner PROGRAM] [--no-server-code N] CASE PIPEHOST PIPEPROBE SHORT_PIPEHOST
#
# --runner starts each program (the Wine wrapper for the Windows build; none natively).
# --no-server-code is the error code pipeprobe prints when no pipehost runs.
# CASE is one of: usage no_server success local_name short_message two_hosts early_client.
#
# Every wait is bounded: each program runs under `timeout`, and every poll has a deadline. Hosts
# run in the background with their test notes on standard error (see tools/pipehost/pipe_host.h);
# a case waits for "pipe created" before it starts a probe.
set -uo pipefail

runner=()
no_server_code=""
while [[ $# -gt 0 && $1 == --* ]]; do
    case $1 in
        --runner) [[ -n ${2:-} ]] && runner=("$2"); shift 2 ;;
        --no-server-code) no_server_code=$2; shift 2 ;;
        *) echo "unknown option $1" >&2; exit 2 ;;
    esac
done
if [[ $# -ne 4 ]]; then
    echo "usage: $0 [--runner PROGRAM] [--no-server-code N] CASE PIPEHOST PIPEPROBE SHORT_PIPEHOST" >&2
    exit 2
fi
case_name=$1 pipehost=$2 pipeprobe=$3 short_pipehost=$4

# The pause of the early-client case: long enough for a probe to start and open the pipe first.
if [[ ${#runner[@]} -gt 0 ]]; then early_delay_ms=1500; else early_delay_ms=400; fi

source "$(dirname "$0")/pipe_test_lib.sh"

# The console build's pipe is a TCP port: move it to one that nothing on this machine listens on,
# below the kernel's ephemeral ports, so a pipehost of someone else (or another test run) never
# answers. The Windows build ignores it.
pick_port() {
    local port
    for _ in $(seq 50); do
        port=$((20000 + RANDOM % 12000))
        if ! command -v ss >/dev/null || [[ -z $(ss -Hltn "sport = :$port" 2>/dev/null) ]]; then
            echo "$port"
            return
        fi
    done
    echo $((20000 + RANDOM % 12000))
}
export SUNDRA_PIPE_PORT=$(pick_port)

case $case_name in
usage)
    run_probe none
    expect none 1 "Usage: pipeprobe servername"
    run_probe two . .
    expect two 1 "Usage: pipeprobe servername"
    ;;
no_server)
    run_probe probe .
    if [[ -n $no_server_code ]]; then
        expect probe 1 "Can't open pipe: $no_server_code"
    else
        expect_pattern probe 1 "^Can't open pipe: [0-9]+$"
    fi
    ;;
success | local_name)
    server=.
    [[ $case_name == local_name ]] && server=$(hostname)
    start_host host "$pipehost"
    if await_created host; then
        run_probe probe "$server"
        expect probe 0 "Success"
    fi
    finish_host host
    expect host 0 "Success"
    ;;
short_message)
    start_host host "$short_pipehost"
    if await_created host; then
        run_probe probe .
        expect_pattern probe 1 "^Can't read from pipe: [0-9]+$"
    fi
    finish_host host
    expect host 0 "Success"
    ;;
two_hosts)
    # Both instances exist before the first client comes; each host then serves one client.
    start_host first "$pipehost"
    start_host second "$pipehost"
    if await_created first second; then
        run_probe probe1 .
        expect probe1 0 "Success"
        run_probe probe2 .
        expect probe2 0 "Success"
    fi
    finish_host first
    finish_host second
    expect first 0 "Success"
    expect second 0 "Success"
    ;;
early_client)
    # The probe opens the pipe while the host pauses between creating it and waiting for a client.
    start_host host "$pipehost" SUNDRA_PIPEHOST_DELAY_MS=$early_delay_ms
    if await_created host; then
        run_probe probe .
        expect probe 0 "Success"
    fi
    finish_host host
    expect host 0 "Success"
    grep -q "pipehost: client connected before the wait" "$work/host.err" ||
        fail "the probe did not open the pipe before the host waited (notes: $(text_of "$work/host.err"))"
    ;;
*)
    echo "unknown case $case_name" >&2
    exit 2
    ;;
esac

if ((failures > 0)); then
    exit 1
fi
echo "PASS [$case_name]"

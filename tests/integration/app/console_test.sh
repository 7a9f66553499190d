#!/usr/bin/env bash
# console_test.sh CASE PROGRAM SYNCLIB SYNCSERVICE MAPAPP WORKDIR
#
# road     the whole road in order, with a map application, then save log + exit + y: a clean end
# sigterm  standard input ends (the program runs on), then SIGTERM: an orderly end, no question
# sigint   SIGINT while standard input is not a terminal: the same orderly end
# exit-no  exit answered n keeps everything running; exit answered y ends it
#
# Every wait is bounded; a failure prints the program's output.
set -uo pipefail
case=$1 program=$2 synclib=$3 syncservice=$4 mapapp=$5 work=$6

rm -rf "$work"
mkdir -p "$work"
# A service program's name of this case's own: the watchdog looks for it among all processes.
service=$work/AppTestService_${case//-/_}
cp "$syncservice" "$service"
cat >"$work/registry.reg" <<REG
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\\Software\\R-Iri\\Synchronization]
"ExtCommunication"="$synclib"
"App"="$service"
"Path"="$work"
REG
# The service connects at once and asks one write-lock question after a short while, so that a
# map application started on "Connected" has registered by then.
cat >"$work/scenario.txt" <<'SCENARIO'
autoanswer on
connect
message Synchronization service started (simulated)
wait 1500
readiness write Duzaduza Databases/Databases
ifanswer 2 request write Duzaduza Databases/Databases
ifanswer 2 wait 200
ifanswer 2 release write Duzaduza Databases/Databases
message Update cycle finished
SCENARIO
export SUNDRA_REGISTRY_FILE=$work/registry.reg
export SUNDRA_SYNCLIB_SCENARIO=$work/scenario.txt
export SUNDRA_SYNCLIB_JOURNAL=$work/synclib-journal.txt
export SUNDRA_MAPAPP_SOCKET=$work/mapapp.sock
out=$work/console.txt

program_pid="" mapapp_pid=""
fail() {
    echo "FAIL ($case): $*"
    echo "--- program output"; cat "$out" 2>/dev/null
    [ -f "$work/mapapp.txt" ] && { echo "--- map application"; cat "$work/mapapp.txt"; }
    exit 1
}
cleanup() {
    [ -n "$program_pid" ] && kill -KILL "$program_pid" 2>/dev/null
    [ -n "$mapapp_pid" ] && kill -KILL "$mapapp_pid" 2>/dev/null
    pkill_service
    return 0
}
trap cleanup EXIT

# Processes whose program is this case's service copy (a zombie has no program any more).
service_pids() {
    local p
    for p in /proc/[0-9]*; do
        [ "$p/exe" -ef "$service" ] 2>/dev/null && echo "${p#/proc/}"
    done
}
pkill_service() { local pid; for pid in $(service_pids); do kill -KILL "$pid" 2>/dev/null; done; }

# Waits (at most $2 s) until the output holds the line pattern $1 (a grep -E pattern).
wait_for() {
    local pattern=$1 limit=$2 i
    for ((i = 0; i < limit * 20; i++)); do
        grep -qE -- "$pattern" "$out" && return 0
        sleep 0.05
    done
    return 1
}
# Waits (at most $3 s) until the output holds the line pattern $1 (grep -E) $2 times.
wait_count() {
    local i
    for ((i = 0; i < $3 * 20; i++)); do
        [ "$(grep -cE -- "$1" "$out")" -ge "$2" ] && return 0
        sleep 0.05
    done
    return 1
}
# Waits (at most $1 s) for the program to end; its exit code in $exit_code.
wait_end() {
    local limit=$1 i
    for ((i = 0; i < limit * 20; i++)); do
        if ! kill -0 "$program_pid" 2>/dev/null; then
            wait "$program_pid"; exit_code=$?; program_pid=""; return 0
        fi
        sleep 0.05
    done
    return 1
}
# The orderly end: the library was let go with all its threads ended (the manager goes before the
# watchdog), the service program was started and stopped through " -stop", and no copy runs.
check_service_stopped() {
    tail -1 "$work/synclib-journal.txt" | grep -qE '^[0-9]+ close$' ||
        fail "the library was not closed cleanly: $(tail -1 "$work/synclib-journal.txt")"
    local i
    for ((i = 0; i < 100; i++)); do [ -z "$(service_pids)" ] && break; sleep 0.05; done
    [ -z "$(service_pids)" ] || fail "the simulated service program still runs"
    [ "$(tr '\n' ' ' <"$work/syncservice.journal" 2>/dev/null)" = "-noservice -stop " ] ||
        fail "service program command lines: $(cat "$work/syncservice.journal" 2>/dev/null)"
}
# Line numbers of the patterns in the output must grow.
check_order() {
    local last=0 pattern line
    for pattern in "$@"; do
        line=$(grep -nE -- "$pattern" "$out" | head -1 | cut -d: -f1)
        [ -n "$line" ] || fail "missing: $pattern"
        [ "$line" -gt "$last" ] || fail "out of order: $pattern (line $line, before line $last)"
        last=$line
    done
}

mkfifo "$work/commands"
(cd "$work" && exec "$program" <"$work/commands" >"$out" 2>&1) &
program_pid=$!
exec 3>"$work/commands"

wait_for "^Communication with synchronization service state: Connected$" 10 || fail "no connection"
stamp='[0-9]{2}\.[0-9]{2}\.[0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}: '

case $case in
road)
    "$mapapp" --consent=always --target="$SUNDRA_MAPAPP_SOCKET" </dev/null >"$work/mapapp.txt" 2>&1 &
    mapapp_pid=$!
    wait_for "Update cycle finished" 15 || fail "the scenario did not finish"
    wait_for "^Synchronization service state: (Started|Running)$" 10 || fail "no service state"
    echo "save log" >&3
    wait_for "Log written to " 5 || fail "save log"
    echo "exit" >&3
    wait_for '^\[y/n\]\?$' 5 || fail "no question"
    echo "y" >&3
    wait_end 40 || fail "the program did not end after exit + y"
    [ "$exit_code" = 0 ] || fail "exit code $exit_code"
    # The communication thread may confirm the connection before the start-up's last line is
    # shown, so only these two orders are fixed.
    check_order "^Window: shown$" \
        "^Communication with synchronization service state: Connected$" \
        "^Window: hidden$"
    check_order "^Communication with synchronization service state: Connected$" \
        "^${stamp}Databases: Read lock acquired \(ID:1, Cookie:[0-9]+\)$"
    check_order "^${stamp}Initialization passed, application started$" \
        "^${stamp}Databases: Read lock acquired \(ID:1, Cookie:[0-9]+\)$" \
        "^${stamp}Synchronization service: Checking if ready for Duzaduza Databases write lock request \(UID:Databases\)$" \
        "^${stamp}Synchronization service: Application is  ready for Duzaduza Databases write lock \(UID:Databases\)$" \
        "^${stamp}Synchronization service: Duzaduza Databases write lock granted \(UID:Databases\)$" \
        "^${stamp}Synchronization service: Duzaduza Databases writelock release \(UID:Databases\) signaled$" \
        "^${stamp}Log written to $work/sundra_sync_log.txt$" \
        "^WARNING$" \
        "^Are you sure you want to stop Sundra Synchronizer\?$" \
        "^This will prevent chart databases from being synchronized!$"
    grep -qE "^${stamp}Databases: Map app detected and registered$" "$out" ||
        fail "the map application's blocks were not served"
    # The saved log holds the lines as the list showed them, CR LF, after one empty line.
    printf '\r\n' | cmp -s -n 2 - "$work/sundra_sync_log.txt" || fail "saved log does not begin with CR LF"
    grep -qa "Initialization passed, application started"$'\r' "$work/sundra_sync_log.txt" ||
        fail "saved log lacks the start-up line"
    # The map application hears of the end: its connection closes.
    for ((i = 0; i < 100; i++)); do kill -0 "$mapapp_pid" 2>/dev/null || break; sleep 0.05; done
    grep -q "program closed the connection" "$work/mapapp.txt" || fail "map application not told"
    check_service_stopped
    ;;
sigterm)
    wait_for "Read lock acquired" 10 || fail "no read lock"
    wait_for "^Synchronization service state: Started$" 10 || fail "the service was not started"
    # A resident program: the end of its input does not end it.
    exec 3>&-
    wait_for "^Standard input has ended" 5 || fail "end of input not reported"
    sleep 0.3
    kill -0 "$program_pid" 2>/dev/null || fail "the program ended with its input"
    kill -TERM "$program_pid"
    wait_end 40 || fail "SIGTERM did not end the program"
    [ "$exit_code" = 0 ] || fail "exit code $exit_code"
    grep -q "^WARNING$" "$out" && fail "SIGTERM asked a question"
    check_service_stopped
    ;;
sigint)
    wait_for "Read lock acquired" 10 || fail "no read lock"
    # The stand-in service removes an old stop file as it starts, so a stop within its first
    # milliseconds would be lost: let it start first.
    wait_for "^Synchronization service state: Started$" 10 || fail "the service was not started"
    sleep 0.2
    kill -INT "$program_pid"
    wait_end 40 || fail "SIGINT did not end the program"
    [ "$exit_code" = 0 ] || fail "exit code $exit_code"
    grep -q "^WARNING$" "$out" && fail "SIGINT without a terminal asked a question"
    check_service_stopped
    ;;
exit-no)
    wait_for "Read lock acquired" 10 || fail "no read lock"
    echo "exit" >&3
    wait_for '^\[y/n\]\?$' 5 || fail "no question"
    echo "maybe" >&3
    wait_for "^Please answer y or n$" 5 || fail "an unclear answer was taken"
    echo "n" >&3
    # Still running and still serving: the bus goes on (the scenario's question gets its answer)
    # and commands are handled.
    wait_for "Application is  ready for Duzaduza Databases write lock" 10 || fail "the bus stopped after n"
    echo "hide" >&3
    echo "show" >&3
    wait_count "^Window: shown$" 2 5 || fail "show after n was not handled"
    kill -0 "$program_pid" 2>/dev/null || fail "the program ended after n"
    [ -n "$(service_pids)" ] || fail "the service program was stopped after n"
    echo "exit" >&3
    wait_count '^\[y/n\]\?$' 2 5 || fail "no second question"
    echo "y" >&3
    wait_end 40 || fail "exit + y did not end the program"
    [ "$exit_code" = 0 ] || fail "exit code $exit_code"
    check_service_stopped
    ;;
*)
    fail "unknown case"
    ;;
esac
echo "PASS ($case)"

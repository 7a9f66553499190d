# Shared by the named-pipe test drivers (sourced). Expects: case_name, pipeprobe, and the array
# runner (the command that starts a program: empty natively, the Wine wrapper, or
# "ip netns exec NS"), which a driver may change between calls. Defines the work folder, its
# clean-up, and bounded helpers to start hosts and probes and to check what they printed.

# Bounds. A program's first start under Wine can be slow; a probe against a waiting host is not.
readonly host_limit=60 probe_limit=30 ready_limit_s=45 finish_limit_s=15

work=$(mktemp -d "${TMPDIR:-/tmp}/sundra-pipes.XXXXXX")
host_pids=()
# Drivers with more to clean up call this from their own trap.
cleanup_pipe_work() {
    local pid
    for pid in "${host_pids[@]}"; do kill "$pid" 2>/dev/null; done
    rm -rf "$work"
}
trap cleanup_pipe_work EXIT

failures=0
fail() {
    echo "FAIL [$case_name]: $*" >&2
    failures=$((failures + 1))
}

# Output of a program without the carriage returns of Windows line ends.
text_of() { tr -d '\r' <"$1"; }

# run_probe NAME ARGS...: runs pipeprobe in the foreground; its output in $work/NAME.out.
run_probe() {
    local name=$1; shift
    timeout -k 5 "$probe_limit" "${runner[@]}" "$pipeprobe" "$@" >"$work/$name.out" 2>"$work/$name.err"
    echo $? >"$work/$name.rc"
}

# start_host NAME PROGRAM [VAR=VALUE...]: starts a host in the background with its test notes.
start_host() {
    local name=$1 program=$2; shift 2
    env SUNDRA_PIPEHOST_NOTES=1 "$@" \
        timeout -k 5 "$host_limit" "${runner[@]}" "$program" >"$work/$name.out" 2>"$work/$name.err" &
    host_pids+=($!)
    eval "pid_$name=$!"
}

# await_created NAME...: polls, with a deadline, until every named host has created its pipe.
await_created() {
    local name pid deadline=$((SECONDS + ready_limit_s))
    for name in "$@"; do
        pid=$(eval echo "\$pid_$name")
        until grep -q "pipehost: pipe created" "$work/$name.err" 2>/dev/null; do
            if ! kill -0 "$pid" 2>/dev/null; then
                fail "host $name ended before creating its pipe: $(text_of "$work/$name.out")"
                return 1
            fi
            if ((SECONDS >= deadline)); then
                fail "host $name did not create its pipe within ${ready_limit_s}s"
                return 1
            fi
            sleep 0.02
        done
    done
}

# finish_host NAME: waits for the host to end and records its exit code. A host that has served
# its client ends at once; one still waiting after finish_limit_s is ended (a failed case).
finish_host() {
    local pid deadline=$((SECONDS + finish_limit_s))
    pid=$(eval echo "\$pid_$1")
    while kill -0 "$pid" 2>/dev/null && ((SECONDS < deadline)); do sleep 0.02; done
    if kill -0 "$pid" 2>/dev/null; then
        fail "host $1 still runs ${finish_limit_s}s after the probes; ended"
        kill "$pid" 2>/dev/null
    fi
    wait "$pid"
    echo $? >"$work/$1.rc"
}

# expect NAME CODE LINE: the program's exit code and its whole standard output (one line).
expect() {
    local name=$1 code=$2 line=$3 got_rc got_out
    got_rc=$(cat "$work/$name.rc")
    got_out=$(text_of "$work/$name.out")
    [[ $got_rc == "$code" ]] || fail "$name exited with $got_rc, expected $code (output: '$got_out')"
    [[ $got_out == "$line" ]] || fail "$name printed '$got_out', expected '$line'"
}

# expect_pattern NAME CODE REGEX: as expect, with the line matched against an extended regex.
expect_pattern() {
    local name=$1 code=$2 pattern=$3 got_rc got_out
    got_rc=$(cat "$work/$name.rc")
    got_out=$(text_of "$work/$name.out")
    [[ $got_rc == "$code" ]] || fail "$name exited with $got_rc, expected $code (output: '$got_out')"
    [[ $got_out =~ $pattern ]] || fail "$name printed '$got_out', expected /$pattern/"
}


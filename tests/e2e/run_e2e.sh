#!/usr/bin/env bash
# run_e2e.sh DRIVER APP SYNCLIB SYNCSERVICE BUILD_DIR
# Runs the e2e driver and the program on one Wine virtual desktop, in a Wine prefix of its own
# under BUILD_DIR (so that ending its Wine server ends nothing else), answers the driver's
# screenshot requests with ImageMagick's import, and passes when the driver says "E2E PASS".
set -uo pipefail
driver=$1 app=$2 synclib=$3 syncservice=$4 build=$5

export WINEPREFIX=$build/wineprefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
work=$build/work
shots=$build/screenshots
rm -rf "$work" "$shots"
mkdir -p "$work" "$shots" "$WINEPREFIX"
cp "$syncservice" "$work/syncservice.exe"

winpath() { local p; p=$(readlink -f "$1"); echo "Z:${p//\//\\}"; }

xvfb_pid=""
if [ -z "${DISPLAY:-}" ]; then
    for n in $(seq 121 160); do
        { [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ]; } && continue
        Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
        xvfb_pid=$!
        export DISPLAY=":$n"
        for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.1; done
        break
    done
fi

watcher_pid=""
cleanup() {
    [ -n "$watcher_pid" ] && kill "$watcher_pid" 2>/dev/null
    # This prefix belongs to this test alone.
    timeout 30 wineserver -k >/dev/null 2>&1 || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    return 0
}
trap cleanup EXIT

start=$(date +%s.%N)
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    timeout 120 wineboot -i >/dev/null 2>&1 || true
fi
setsid wineserver -p >/dev/null 2>&1 </dev/null &
timeout 120 wine cmd.exe /c exit >/dev/null 2>&1 </dev/null || true
echo "wine ready after $(echo "$(date +%s.%N) - $start" | bc) s"

# Screenshot requests: shot-NAME.req in the work folder -> screenshots/NAME.png, then shot-NAME.done.
(
    while true; do
        for req in "$work"/shot-*.req; do
            [ -e "$req" ] || continue
            name=$(basename "$req" .req); name=${name#shot-}
            timeout 20 import -window root "$shots/$name.png" >/dev/null 2>&1
            rm -f "$req"; touch "$work/shot-$name.done"
        done
        sleep 0.2
    done
) &
watcher_pid=$!

log=$build/e2e_driver.log
run_start=$(date +%s.%N)
timeout 240 wine explorer /desktop=sundra,1024x768 "$(winpath "$driver")" "$(winpath "$app")" \
    "$(winpath "$synclib")" "$(winpath "$work")" >"$log" 2>&1 </dev/null
status=$?
cat "$log"
echo "driver ran $(echo "$(date +%s.%N) - $run_start" | bc) s (exit $status); screenshots in $shots"
grep -q "^E2E PASS" "$log"

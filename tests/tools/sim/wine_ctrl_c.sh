#!/usr/bin/env bash
# kestrel-sim.exe under Wine, stopped by Ctrl+C: a SIGINT to the Wine process arrives as a real
# CTRL_C_EVENT, which the simulator's handler turns into a clean stop (its window goes away too).
# Usage: wine_ctrl_c.sh <kestrel-sim.exe>
set -u
exe=$1
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../../scripts/lib/wine-env.sh"
if [ -z "${WINEPREFIX:-}" ] || [ -z "${DISPLAY:-}" ]; then
    wine_env_start "$(cd "$(dirname "$exe")/.." && pwd)/wineprefix"
    trap wine_env_stop EXIT
fi

work=$(mktemp -d)
trap 'rm -rf "$work"; type wine_env_stop >/dev/null 2>&1 && wine_env_stop' EXIT
cd "$work"
"$(wine_loader "$exe")" "$exe" >out.txt 2>err.txt </dev/null &
pid=$!

fail() {
    echo "FAIL: $*"
    echo "--- stdout"; head -20 out.txt
    echo "--- stderr"; head -20 err.txt
    kill -9 "$pid" 2>/dev/null
    exit 1
}

. "$here/../../../scripts/lib/ctrl-c.sh"
wait_for out.txt 300 'kestrel-sim ready: FS98MAIN' || fail "not ready within 30 s"
sleep 0.5  # the control handler is registered before the window; give the loop a moment
ctrl_c "$pid" 30 || fail "kestrel-sim.exe still running 30 s after Ctrl+C"
[ "$ctrl_c_code" -eq 0 ] || fail "exit code $ctrl_c_code, expected 0"
grep -q 'kestrel-sim: stopped after 0 messages' err.txt || fail "no clean stop line"
echo "PASS: kestrel-sim.exe stopped on Ctrl+C with exit code 0"

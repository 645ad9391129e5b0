#!/usr/bin/env bash
# kestrel-sim.exe under Wine, stopped by Ctrl+C: a SIGINT to the Wine process arrives as a real
# CTRL_C_EVENT, which the simulator's handler turns into a clean stop (its window goes away too).
# Usage: wine_ctrl_c.sh <kestrel-sim.exe>
set -u
exe=$1
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${WINEPREFIX:-}" ] || [ -z "${DISPLAY:-}" ]; then
    . "$here/../../../scripts/lib/wine-env.sh"
    wine_env_start "$(cd "$(dirname "$exe")/.." && pwd)/wineprefix"
    trap wine_env_stop EXIT
fi

work=$(mktemp -d)
trap 'rm -rf "$work"; type wine_env_stop >/dev/null 2>&1 && wine_env_stop' EXIT
cd "$work"
/usr/lib/wine/wine64 "$exe" >out.txt 2>err.txt </dev/null &
pid=$!

fail() {
    echo "FAIL: $*"
    echo "--- stdout"; head -20 out.txt
    echo "--- stderr"; head -20 err.txt
    kill -9 "$pid" 2>/dev/null
    exit 1
}

for _ in $(seq 1 300); do
    grep -q 'kestrel-sim ready: FS98MAIN' out.txt && break
    sleep 0.1
done
grep -q 'kestrel-sim ready: FS98MAIN' out.txt || fail "not ready within 30 s"
sleep 0.5  # the control handler is registered before the window; give the loop a moment
kill -INT "$pid"
for _ in $(seq 1 300); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$pid" 2>/dev/null && fail "kestrel-sim.exe still running 30 s after Ctrl+C"
wait "$pid"
code=$?
[ "$code" -eq 0 ] || fail "exit code $code, expected 0"
grep -q 'kestrel-sim: stopped after 0 messages' err.txt || fail "no clean stop line"
echo "PASS: kestrel-sim.exe stopped on Ctrl+C with exit code 0"

#!/usr/bin/env bash
# kestrel.exe under Wine next to kestrel-sim.exe, stopped by Ctrl+C: a SIGINT to the Wine process
# reaches the program as a real CTRL_C_EVENT through Wine's console control routine, so this proves the
# Win32 handler path. (Wine cannot route GenerateConsoleCtrlEvent between processes, so the gtest
# programs cannot.) Then once more against a simulator that answers late, where Ctrl+C must not wait
# for all nine sends of the exchange under way, and once without a simulator, while kestrel waits for one.
# Usage: wine_ctrl_c.sh <folder of kestrel.exe, kestrel-sim.exe and kestrel-scenery.exe> <sample CSV>
set -u
bin=$1
sample=$2
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../scripts/lib/wine-env.sh"
wine=$(wine_loader "$bin/kestrel.exe")
if [ -z "${WINEPREFIX:-}" ] || [ -z "${DISPLAY:-}" ]; then
    wine_env_start "$(cd "$bin/.." && pwd)/wineprefix"
    trap wine_env_stop EXIT
fi

work=$(mktemp -d)
sim_pid=
kestrel_pid=
cleanup() {
    [ -n "$kestrel_pid" ] && kill -9 "$kestrel_pid" 2>/dev/null
    [ -n "$sim_pid" ] && kill -9 "$sim_pid" 2>/dev/null
    rm -rf "$work"
    type wine_env_stop >/dev/null 2>&1 && wine_env_stop
}
trap cleanup EXIT
windows_path() { printf 'Z:%s' "$1" | tr / '\\'; }

fail() {
    echo "FAIL: $*"
    echo "--- kestrel stdout"; cat -A "$work/out.txt" | head -60
    echo "--- kestrel stderr"; head -20 "$work/err.txt"
    echo "--- kestrel-sim"; head -20 "$work/sim.txt"
    exit 1
}

. "$here/../../scripts/lib/ctrl-c.sh"

mkdir -p "$work/FS9" "$work/kestrel"
"$wine" "$bin/kestrel-scenery.exe" --quiet "$(windows_path "$sample")" "$(windows_path "$work/FS9")" \
    >"$work/scenery.txt" 2>&1 </dev/null || { cat "$work/scenery.txt"; fail "scenery not written"; }
printf 'time,lat,lon,alt,com1,com2,selector,ready,menu,pause\n0,37.62,-122.37,300,120.50,121.00,0x80,1,0,0\n' \
    >"$work/flight.csv"
"$wine" "$bin/kestrel-sim.exe" --fs-dir "$(windows_path "$work/FS9")\\" --scenario "$(windows_path "$work/flight.csv")" \
    >"$work/sim.txt" 2>&1 </dev/null &
sim_pid=$!
wait_for "$work/sim.txt" 900 "kestrel-sim ready" || fail "kestrel-sim did not come up within 90 s"

printf '[KestrelConfig]\r\nLogLevel=4\r\nUpdateInterval=100\r\n' >"$work/kestrel/kestrel.ini"
cp "$bin/kestrel.exe" "$work/kestrel/"  # kestrel's files lie beside it
cd "$work/kestrel"
"$wine" "$work/kestrel/kestrel.exe" >"$work/out.txt" 2>"$work/err.txt" </dev/null &
kestrel_pid=$!
# The handler is registered before the first poll, so a placed tower means Ctrl+C reaches the handler.
wait_for "$work/out.txt" 1200 "Setting tower to" || fail "no tower placed within 120 s"
ctrl_c "$kestrel_pid" 30 || fail "kestrel.exe still running 30 s after Ctrl+C"
kestrel_pid=
[ "$ctrl_c_code" -eq 0 ] || fail "exit code $ctrl_c_code, expected 0"
head -c 21 "$work/out.txt" | grep -q '^Configuration dump:' || fail "output does not begin with the dump"
hex() { od -An -tx1 | tr -d ' \n'; }
[ "$(tail -c 20 "$work/out.txt" | hex)" = "$(printf 'Main loop finished\r\n' | hex)" ] ||
    fail "output does not end with 'Main loop finished' CR LF"
grep -q $'\r\r' "$work/out.txt" && fail "stdout holds CR CR LF: not in binary mode"
kill -INT "$sim_pid"
wait "$sim_pid" 2>/dev/null
sim_pid=
echo "PASS: kestrel.exe placed a tower, stopped on Ctrl+C with exit code 0"

# A simulator that answers late from the second poll on (start-up, the first poll and its placement
# take 8 messages): Ctrl+C must end the exchange under way after its send, not after all nine. Under
# Wine the first simulator may still be ending after the wait: let its window go, and keep its lines.
wait_for "$work/sim.txt" 300 "stopped after" || fail "the first kestrel-sim did not stop"
for file in sim out err; do mv "$work/$file.txt" "$work/$file-first.txt"; done
"$wine" "$bin/kestrel-sim.exe" --fs-dir "$(windows_path "$work/FS9")\\" --scenario "$(windows_path "$work/flight.csv")" \
    --late-after 8 --verbose >"$work/sim.txt" 2>&1 </dev/null &
sim_pid=$!
wait_for "$work/sim.txt" 900 "kestrel-sim ready" || fail "kestrel-sim did not come up again within 90 s"
"$wine" "$work/kestrel/kestrel.exe" >"$work/out.txt" 2>"$work/err.txt" </dev/null &
kestrel_pid=$!
wait_for "$work/sim.txt" 1200 "answering late" || fail "no late answer within 120 s"
ctrl_c "$kestrel_pid" 30 || fail "kestrel.exe still running 30 s after Ctrl+C in a late exchange"
kestrel_pid=
late=$(grep -c "answering late" "$work/sim.txt")
[ "$ctrl_c_code" -eq 0 ] && [ "$late" -le 2 ] && tail -c 20 "$work/out.txt" | grep -q 'Main loop finished' ||
    fail "exit code $ctrl_c_code and $late sends after Ctrl+C, expected 0, 'Main loop finished' and at most 2"
kill -INT "$sim_pid"
wait "$sim_pid" 2>/dev/null
sim_pid=
echo "PASS: Ctrl+C ended an exchange with a late simulator after $late send(s)"

# No simulator at all: the start waits for one, and Ctrl+C ends the wait as a stop.
mv "$work/out.txt" "$work/out-second.txt"
"$wine" "$work/kestrel/kestrel.exe" >"$work/out.txt" 2>"$work/err.txt" </dev/null &
kestrel_pid=$!
wait_for "$work/out.txt" 1200 "kestrel waits for FS9" || fail "kestrel.exe did not wait for the simulator within 120 s"
ctrl_c "$kestrel_pid" 30 || fail "kestrel.exe still running 30 s after Ctrl+C while it waited"
kestrel_pid=
[ "$ctrl_c_code" -eq 0 ] && tail -c 20 "$work/out.txt" | grep -q 'Main loop finished' ||
    fail "exit code $ctrl_c_code after Ctrl+C while waiting, expected 0 and 'Main loop finished' last"
echo "PASS: Ctrl+C ended the wait for the simulator with exit code 0"

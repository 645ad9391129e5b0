#!/usr/bin/env bash
# kestrel.exe under Wine, stopped by Ctrl+C: a SIGINT to the Wine process reaches the program as a
# real CTRL_C_EVENT through Wine's console control routine, so this proves the Win32 handler path.
# (Wine cannot route GenerateConsoleCtrlEvent between processes, so the gtest programs cannot.)
# Usage: wine_ctrl_c.sh <kestrel.exe>
set -u
exe=$1
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${WINEPREFIX:-}" ] || [ -z "${DISPLAY:-}" ]; then
    . "$here/../../scripts/lib/wine-env.sh"
    wine_env_start "$(cd "$(dirname "$exe")/.." && pwd)/wineprefix"
    trap wine_env_stop EXIT
fi

work=$(mktemp -d)
# kestrel needs an airport before it registers its handler. Until the simulator link tells it the
# simulator folder, it names scenery.cfg without a folder, and the private-profile functions look for
# such a file in the Windows folder; the areas and BGL files are found relative to the working folder.
windows_cfg=$WINEPREFIX/drive_c/windows/scenery.cfg
trap 'rm -rf "$work"; rm -f "$windows_cfg"; type wine_env_stop >/dev/null 2>&1 && wine_env_stop' EXIT
printf '[KestrelConfig]\r\nLogLevel=4\r\nUpdateInterval=100\r\n' >"$work/kestrel.ini"
cd "$work"
printf '%s\n' 'area,layer,file,ident,name,latitude,longitude,elevation,tower_latitude,tower_longitude,tower_altitude,runways,frequencies,deletions' \
    'Scenery\World,1,WORLD,KSFO,San Francisco,37.62,-122.37,4,,,,,,' >airports.csv
/usr/lib/wine/wine64 "$(dirname "$exe")/kestrel-scenery.exe" --quiet airports.csv . >/dev/null 2>&1 </dev/null ||
    { echo "FAIL: kestrel-scenery.exe could not write the scenery library"; exit 1; }
cp scenery.cfg "$windows_cfg"
/usr/lib/wine/wine64 "$exe" >out.txt 2>err.txt </dev/null &
pid=$!

fail() {
    echo "FAIL: $*"
    echo "--- stdout"; cat -A out.txt | head -40
    echo "--- stderr"; head -20 err.txt
    kill -9 "$pid" 2>/dev/null
    exit 1
}

# Generous waits: Wine starts slowly on a loaded machine.
ready='Successfully imported 1 airport infos from scenery.'
for _ in $(seq 1 900); do
    grep -q "$ready" out.txt && break
    sleep 0.1
done
grep -q "$ready" out.txt || fail "no database within 90 s"
sleep 2  # the handler is registered just after the database
kill -INT "$pid"
for _ in $(seq 1 300); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$pid" 2>/dev/null && fail "kestrel.exe still running 30 s after Ctrl+C"
wait "$pid"
code=$?
[ "$code" -eq 0 ] || fail "exit code $code, expected 0"
head -c 21 out.txt | grep -q '^Configuration dump:' || fail "output does not begin with the dump"
hex() { od -An -tx1 | tr -d ' \n'; }
[ "$(tail -c 20 out.txt | hex)" = "$(printf 'Main loop finished\r\n' | hex)" ] ||
    fail "output does not end with 'Main loop finished' CR LF"
grep -q $'\r\r' out.txt && fail "stdout holds CR CR LF: not in binary mode"
echo "PASS: kestrel.exe printed the dump, built its database, stopped on Ctrl+C with exit code 0"

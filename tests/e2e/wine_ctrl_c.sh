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
trap 'rm -rf "$work"; type wine_env_stop >/dev/null 2>&1 && wine_env_stop' EXIT
printf '[KestrelConfig]\r\nLogLevel=4\r\nUpdateInterval=100\r\n' >"$work/kestrel.ini"
cd "$work"
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
for _ in $(seq 1 900); do
    grep -q 'forceFsPathToUNC=0' out.txt && break
    sleep 0.1
done
grep -q 'forceFsPathToUNC=0' out.txt || fail "no configuration dump within 90 s"
sleep 2  # the handler is registered just after the dump
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
echo "PASS: kestrel.exe printed the dump, stopped on Ctrl+C with exit code 0"

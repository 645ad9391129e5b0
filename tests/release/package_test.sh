#!/usr/bin/env bash
# A release zip used as a pilot uses it: unpacked into a fresh folder, the packaged kestrel.exe started
# by its path from another working folder (as the simulator interface's program entries start it) under
# Wine, with the packaged kestrel.ini (LogLevel and UpdateInterval edited, as the README suggests)
# against kestrel-sim.exe serving the sample library. The first start, 10 s before the simulator, waits
# for it, then builds the database under the progress window and follows a short flight; the second
# loads kestrel.dat without the window; Ctrl+C ends both with exit code 0; kestrel's folder holds nothing
# new but kestrel.dat, its stamps, kestrel.log and the first start's log, kestrel.prev.log, and the
# working folder nothing at all.
# Usage: package_test.sh ZIP BIN-OF-THE-SAME-BUILD SCENERY-WRITER SAMPLE-CSV (inside wine_env_start)
set -u
export LC_ALL=C  # one order for ls and sort
zip=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
bin=$2
scenery=$3
sample=$4
here=$(cd "$(dirname "$0")" && pwd)
. "$here/session.sh"

work=$(mktemp -d)
trap 'session_end; rm -rf "$work"' EXIT
pilot=$work/kestrel
elsewhere=$work/elsewhere  # the working folder kestrel is started from
mkdir -p "$pilot" "$work/FS9" "$elsewhere"
(cd "$pilot" && cmake -E tar xf "$zip") || session_fail "cannot unpack $zip"
version=$(basename "$zip" | sed 's/^kestrel-\(.*\)-win[0-9]*\.zip$/\1/')
shipped="LICENSE.txt README.txt kestrel.exe kestrel.ini"
with_database="LICENSE.txt README.txt kestrel.dat kestrel.dat.stamps kestrel.exe kestrel.ini kestrel.log kestrel.prev.log"
[ "$(ls "$pilot" | xargs)" = "$shipped" ] || session_fail "the zip holds $(ls "$pilot" | xargs), not $shipped"
for text in README.txt LICENSE.txt kestrel.ini; do
    if grep -q -v $'\r$' "$pilot/$text" || [ "$(tail -c 2 "$pilot/$text" | od -An -tx1 | tr -d ' ')" != 0d0a ]; then
        session_fail "$text has a line that does not end in CR LF"
    fi
done
awk '/^[A-Za-z]/ && prev !~ /^;/ { print "no comment above " $0; bad = 1 } { prev = $0 } END { exit bad }' \
    "$pilot/kestrel.ini" || session_fail "kestrel.ini has a key without a comment line"

"$scenery" --quiet "$sample" "$work/FS9" || session_fail "scenery not written"
# San Francisco, then Oakland and San Jose, each tuned to its tower.
printf '%s\n' time,lat,lon,alt,com1,com2,selector,ready,menu,pause \
    0,37.6190,-122.3748,300,120.50,121.00,0x80,1,0,0 \
    20,37.7213,-122.2208,300,118.30,121.00,0x80,1,0,0 \
    28,37.3626,-121.9290,300,124.00,121.00,0x80,1,0,0 >"$work/flight.csv"
sed -i 's/^LogLevel=3\r$/LogLevel=4\r/; s/^UpdateInterval=5000\r$/UpdateInterval=500\r/' "$pilot/kestrel.ini"
grep -q $'^UpdateInterval=500\r$' "$pilot/kestrel.ini" || session_fail "UpdateInterval could not be edited in kestrel.ini"

runner=$(wine_loader "$pilot/kestrel.exe")

# progress_window_seen OUT LINE: watches the display for the window titled "kestrel VERSION" until OUT
# holds LINE (the build or load is over); 0 when the window was seen.
progress_window_seen() {
    local seen=1
    for _ in $(seq 1 600); do
        xwininfo -root -tree 2>/dev/null | grep -q "\"kestrel $version\"" && seen=0
        grep -q "$2" "$1" && break
        kill -0 "$session_kestrel_pid" 2>/dev/null || session_fail "kestrel ended during its start"
        sleep 0.2
    done
    return $seen
}

# Started before FS9, as a pilot may: kestrel waits for it, then builds and follows the flight.
session_kestrel "$runner" "$pilot/kestrel.exe" "$elsewhere" "$work/first.txt"
sleep 10
session_wait "$work/first.txt" 600 "kestrel waits for FS9 (or WideClient) to answer." ||
    session_fail "kestrel did not wait for the simulator it was started before"
session_sim "$runner" "$bin" "$work/FS9" "$work/flight.csv" "$work/record.jsonl" "$work/sim.txt"
progress_window_seen "$work/first.txt" "Successfully imported" || session_fail "no progress window on the first start"
for _ in $(seq 1 900); do
    [ "$(tower_writes "$work/record.jsonl" | grep -c '"text"')" -ge 3 ] && break
    sleep 0.1
done
[ "$(tower_writes "$work/record.jsonl" | grep '"text"' | sort -u | wc -l)" -ge 3 ] ||
    session_fail "the tower did not follow the flight: $(tower_writes "$work/record.jsonl" | grep '"text"' | xargs)"
session_stop "$work/first.txt"
[ -s "$pilot/kestrel.dat" ] || session_fail "no kestrel.dat after the first start"

session_kestrel "$runner" "$pilot/kestrel.exe" "$elsewhere" "$work/second.txt"
progress_window_seen "$work/second.txt" "Successfully loaded" && session_fail "a progress window on the second start"
grep -q "Successfully loaded" "$work/second.txt" || session_fail "the second start did not load kestrel.dat"
session_wait "$work/second.txt" 300 "Setting tower to" || session_fail "no tower placed after the load"
session_stop "$work/second.txt"

[ "$(ls "$pilot" | xargs)" = "$with_database" ] || session_fail "the folder holds $(ls "$pilot" | xargs)"
[ -z "$(ls -A "$elsewhere")" ] || session_fail "the working folder holds $(ls -A "$elsewhere" | xargs)"
echo "PASS: $(basename "$zip"): started from another folder 10 s before the simulator, it waited;" \
    "progress window, $(tower_writes "$work/record.jsonl" | grep '"text"' | sort -u | wc -l) towers along the" \
    "flight, kestrel.dat loaded on the second start, Ctrl+C exit code 0 twice, its files beside kestrel.exe"

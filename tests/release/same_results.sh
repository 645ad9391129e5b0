#!/usr/bin/env bash
# The native, 64-bit and 32-bit Windows builds compute the same results. Each runs kestrel against its
# own kestrel-sim over one generated library (the sample region and an area of single-runway airports
# whose tower is moved off the runway, at many latitudes) along the same flight: all must write
# the same kestrel.dat bytes, the same stamps of the airport files, and the same tower positions and
# texts. Then the 32-bit and the native build start with the file the 64-bit build wrote (and its
# stamps): they load it, leave it as it is, and place the same tower. The Windows builds run side by side, each under Wine with its own prefix and display.
# Usage: same_results.sh NATIVE-BIN X64-BIN X86-BIN SAMPLE-CSV   (X86-BIN "-": compare the other two)
set -u
native=$(cd "$1" && pwd)
x64=$(cd "$2" && pwd)
others=(native)  # the builds checked against win64's results
declare -A bins=([native]=$native [win64]=$x64)
if [ "$3" != - ]; then
    bins[win32]=$(cd "$3" && pwd)
    others+=(win32)
fi
sample=$(cd "$(dirname "$4")" && pwd)/$(basename "$4")
here=$(cd "$(dirname "$0")" && pwd)
. "$here/session.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export KESTREL_RUN_DIR=$work/run  # the native pair meets here
mkdir -p "$KESTREL_RUN_DIR"

# Odd lengths and headings: the single-runway value is a 32-bit float made from both.
{
    cat "$sample"
    awk 'BEGIN {
        for (i = 1; i <= 12; i++) {
            lat = -50 + i * 8.3; lon = -170 + i * 27.1; elev = (i % 3 == 0) ? -3.5 : i * 13.3
            printf "Scenery\\Cross,40,CROSS,XC%02d,Cross check %02d,%.6f,%.6f,%.1f,,,,09/27:%.6f:%.6f:%.2f:%.1f,%.2f,\n",
                i, i, lat, lon, elev, lat, lon, 600 + i * 137.77, (i * 47.9) % 360, 118 + i * 0.15
        }
        # Far north, away from the flight: runway centres around the 0.0002-degree coincidence limit.
        for (i = 1; i <= 4000; i++) {
            lat = 60 + (i * 0.6180339887 % 1) * 20; lon = -180 + (i * 0.4142135624 % 1) * 360
            printf "Scenery\\Cross,40,NORTH,Y%04d,North %d,%.7f,%.7f,%.2f,,,,18/36:%.7f:%.7f:%.3f:%.3f,,\n",
                i, i, lat, lon, i % 500, lat + (i * 0.7548776662 % 1 - 0.5) * 0.0006,
                lon + (i * 0.5698402910 % 1 - 0.5) * 0.0006, 300 + i * 7.77 % 4000, i * 13.37 % 360
        }
    }'
} >"$work/library.csv"
"$native/kestrel-scenery" --quiet "$work/library.csv" "$work/FS9" || { echo "FAIL: scenery not written"; exit 1; }

# Parked at San Francisco while the database is built, then three seconds over each of the twelve.
{
    echo time,lat,lon,alt,com1,com2,selector,ready,menu,pause
    echo 0,37.6190,-122.3748,300,120.50,121.00,0x80,1,0,0
    awk 'BEGIN { for (i = 1; i <= 12; i++)
        printf "%d,%.6f,%.6f,500,%.2f,121.00,0x80,1,0,0\n", 12 + 3 * i, -50 + i * 8.3, -170 + i * 27.1, 118 + i * 0.15 }'
} >"$work/flight.csv"
head -2 "$work/flight.csv" >"$work/parked.csv"

# run NAME BIN SCENARIO [DATABASE]: one session in $work/NAME; with DATABASE, kestrel starts with that file.
run() {
    local name=$1 bin=$2 scenario=$3 database=${4:-} runner exe=kestrel
    local dir=$work/$name
    trap 'session_end; wine_env_stop' EXIT
    mkdir -p "$dir/kestrel"
    printf '[KestrelConfig]\r\nLogLevel=4\r\nUpdateInterval=100\r\n' >"$dir/kestrel/kestrel.ini"
    # With its stamps, and the times they are tied to.
    [ -n "$database" ] && cp -p "$database" "$database.stamps" "$dir/kestrel/"
    if [ -e "$bin/kestrel.exe" ]; then
        wine_env_start "$(cd "$bin/.." && pwd)/wineprefix" >/dev/null
        exe=kestrel.exe
    fi
    runner=$(session_runner "$bin")
    cp "$bin/$exe" "$dir/kestrel/"  # kestrel's files lie beside it
    session_sim "$runner" "$bin" "$work/FS9" "$scenario" "$dir/record.jsonl" "$dir/sim.txt"
    session_kestrel "$runner" "$dir/kestrel/$exe" "$dir/kestrel" "$dir/out.txt"
    if [ -n "$database" ]; then
        session_wait "$dir/out.txt" 600 "Setting tower to" || session_fail "$name: no tower placed"
    else
        session_wait "$dir/record.jsonl" 1200 '"text":"Tower @ XC12' || session_fail "$name: the flight's last tower was not placed"
    fi
    session_stop "$dir/out.txt"
    session_end
    tower_writes "$dir/record.jsonl" | uniq >"$dir/towers.txt"
    echo "$name: $(grep -c '"text"' "$dir/towers.txt") towers"
}

status=0
check() {
    if eval "$2"; then echo "same: $1"; else echo "FAIL: $1"; status=1; fi
}

for name in win64 "${others[@]}"; do
    run "$name" "${bins[$name]}" "$work/flight.csv" >"$work/$name.txt" 2>&1 &
done
failed=0
for job in $(jobs -p); do wait "$job" || failed=1; done
for name in win64 "${others[@]}"; do cat "$work/$name.txt"; done
[ "$failed" -eq 0 ] || exit 1

db=$work/win64/kestrel/kestrel.dat
for name in "${others[@]}"; do
    check "kestrel.dat from $name and win64 ($(stat -c %s "$db") bytes, md5 $(md5sum <"$db" | cut -c1-32))" \
        'cmp "$db" "$work/$name/kestrel/kestrel.dat"'
    # The airport files' stamps, by place, size and time, behind the stamps of each build's own kestrel.dat.
    check "airport file stamps from $name and win64 ($(($(stat -c %s "$db.stamps") - 32)) bytes)" \
        'cmp -i 28 "$db.stamps" "$work/$name/kestrel/kestrel.dat.stamps"'
    check "tower writes of $name and win64 ($(grep -c towerLat "$work/win64/towers.txt") positions, $(grep -c text "$work/win64/towers.txt") texts)" \
        'cmp "$work/win64/towers.txt" "$work/$name/towers.txt"'
done

for name in "${others[@]}"; do
    run "$name-loads-win64" "${bins[$name]}" "$work/parked.csv" "$db" >"$work/feed-$name.txt" 2>&1 &
done
failed=0
for job in $(jobs -p); do wait "$job" || failed=1; done
for name in "${others[@]}"; do cat "$work/feed-$name.txt"; done
[ "$failed" -eq 0 ] || exit 1
for name in "${others[@]}"; do
    check "$name-loads-win64: loaded the win64 kestrel.dat, left it unchanged, placed the same first tower" \
        'grep -q "Successfully loaded" "$work/$name-loads-win64/out.txt" && cmp "$db" "$work/$name-loads-win64/kestrel/kestrel.dat" &&
         [ "$(head -2 "$work/$name-loads-win64/towers.txt")" = "$(head -2 "$work/win64/towers.txt")" ]'
done
names=$(printf ' and %s' "${others[@]}")
[ "$status" -eq 0 ] && echo "PASS: win64${names} builds give the same results"
exit "$status"

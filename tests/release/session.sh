# Sourced by the release checks: one pilot's session, kestrel in its folder beside kestrel-sim serving a
# scenery library, natively or under Wine (for Wine, wine_env_start has run: WINEPREFIX and DISPLAY set).
#   session_runner BIN                 the loader for the programs of BIN: empty natively, else Wine's
#                                      for their bitness
#   sim_path RUNNER PATH               PATH as the program sees it (Z:\... under Wine)
#   session_sim RUNNER BIN FS SCENARIO RECORD LOG   starts kestrel-sim, waits until it answers
#   session_kestrel RUNNER EXE FOLDER OUT           starts kestrel EXE (whose folder holds its files)
#                                                   from the working folder FOLDER
#   session_wait FILE TENTHS TEXT      wait_for while kestrel runs (1 when it ended or time ran out)
#   session_stop OUT                   Ctrl+C to kestrel: exit code 0 and "Main loop finished" last
#   session_end                        stops the simulator (and a kestrel still running)
#   tower_writes RECORD                the tower writes kestrel-sim recorded: raw values and texts
# session_fail MESSAGE prints MESSAGE and the session's outputs and exits 1.
. "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib/ctrl-c.sh"
. "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib/wine-env.sh"  # wine_loader

session_sim_pid=
session_kestrel_pid=
session_logs=()

session_runner() {
    if [ -e "$1/kestrel.exe" ]; then wine_loader "$1/kestrel.exe"; fi
}

sim_path() {
    if [ -n "$1" ]; then printf 'Z:%s' "$2" | tr / '\\'; else printf '%s' "$2"; fi
}

session_fail() {
    echo "FAIL: $*"
    local log
    for log in "${session_logs[@]}"; do
        echo "--- $log"
        tr -d '\r' <"$log" | grep -v -e '^airport subrecord' -e ': AP @(' | tail -25
    done
    session_end
    exit 1
}

session_sim() {
    local runner=$1 bin=$2 fs=$3 scenario=$4 record=$5 log=$6 exe=kestrel-sim
    [ -n "$runner" ] && exe=kestrel-sim.exe
    session_logs+=("$log")
    $runner "$bin/$exe" --fs-dir "$(sim_path "$runner" "$fs")" --scenario "$(sim_path "$runner" "$scenario")" \
        --record "$(sim_path "$runner" "$record")" >"$log" 2>&1 </dev/null &
    session_sim_pid=$!
    wait_for "$log" 900 "kestrel-sim ready" || session_fail "kestrel-sim did not come up within 90 s"
}

session_kestrel() {
    local runner=$1 exe=$2 folder=$3 out=$4
    session_logs+=("$out")
    (cd "$folder" && exec $runner "$exe") >"$out" 2>&1 </dev/null &
    session_kestrel_pid=$!
}

session_wait() {
    for _ in $(seq 1 "$2"); do
        grep -q -- "$3" "$1" 2>/dev/null && return 0
        kill -0 "$session_kestrel_pid" 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}

session_stop() {
    ctrl_c "$session_kestrel_pid" 30 || session_fail "kestrel still running 30 s after Ctrl+C"
    session_kestrel_pid=
    [ "$ctrl_c_code" -eq 0 ] || session_fail "kestrel ended with exit code $ctrl_c_code after Ctrl+C"
    [ "$(tr -d '\r' <"$1" | tail -1)" = "Main loop finished" ] || session_fail "the last line is not 'Main loop finished'"
}

session_end() {
    [ -n "$session_kestrel_pid" ] && kill -9 "$session_kestrel_pid" 2>/dev/null
    if [ -n "$session_sim_pid" ]; then
        kill -INT "$session_sim_pid" 2>/dev/null
        wait "$session_sim_pid" 2>/dev/null
    fi
    session_kestrel_pid=
    session_sim_pid=
}

tower_writes() {
    sed -n 's/.*\("towerAltRaw":[-0-9]*\).*\("towerLatRaw":[-0-9]*\).*\("towerLonRaw":[-0-9]*\).*/\1 \2 \3/p; s/.*\("text":"[^"]*"\).*/\1/p' "$1"
}

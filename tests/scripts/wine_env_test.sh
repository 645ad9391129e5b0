#!/usr/bin/env bash
# wine_env_start against stand-ins for Wine, its server and Xvfb: a prefix whose initialisation hangs is
# deleted and made once more, a second hang gives up, and the debugger stays off for every prefix.
# Usage: wine_env_test.sh <scripts/lib/wine-env.sh>
set -u
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
printf '#!/bin/bash\necho 99 >&3; exec sleep 60\n' >"$work/bin/Xvfb"
# Each wineboot takes the next word of $PLAN: ok; slow (ok after half a second); hang; half (writes
# system.reg as a crashed initialisation does, then hangs); wait (ok, but the server wait hangs once).
cat >"$work/bin/wine" <<'STUB'
#!/bin/bash
[ "$1" = wineboot ] || exit 0
echo boot >>"$LOG"; read -r plan rest <"$PLAN"; echo "$rest" >"$PLAN"; mkdir -p "$WINEPREFIX"
case $plan in slow) sleep 0.5 ;; hang) exec sleep 30 ;; half) touch "$WINEPREFIX/first-try"; ;; wait) touch "$LOG.wait" ;; esac
touch "$WINEPREFIX/system.reg"; [ "$plan" != half ] || exec sleep 30
STUB
printf '#!/bin/bash\n[ "$1" = -w ] && rm "$LOG.wait" 2>/dev/null && exec sleep 30; exit 0\n' >"$work/bin/wineserver"
chmod +x "$work/bin/"*
. "$1"
KESTREL_WINE=$work/bin/wine KESTREL_WINESERVER=$work/bin/wineserver prefix=$work/prefix
export KESTREL_WINE_INIT_SECONDS=1 PATH=$work/bin:$PATH LOG=$work/log PLAN=$work/plan

start() {  # in its own process: status and overrides in status-N, lines in err-N
    (wine_env_start "$prefix" >/dev/null 2>"$work/err-$1"; echo "$? $WINEDLLOVERRIDES" >"$work/status-$1"; wine_env_stop)
}
failures=0
# name | prefix before (none, made, interrupted) | wineboots | starts side by side | status | boots | line
cases=(
    "fresh prefix|none|ok|1|0|1|"
    "existing prefix is kept|made|ok|1|0|0|"
    "hung initialisation is made once more|none|half ok|1|0|2|did not finish within 1 s; deleted the half-made prefix, initialising it once more"
    "hung wait for the server is made once more|none|wait ok|1|0|2|initialising it once more"
    "second hang gives up|none|hang hang ok|1|1|2|did not finish within 1 s again; deleted it, giving up"
    "interrupted initialisation is made again|interrupted|ok|1|0|1|was left half-made; deleting it and initialising it again"
    "starts side by side initialise once|none|slow ok|2|0|1|"
)
for entry in "${cases[@]}"; do
    IFS='|' read -r name before plan starts want_status want_boots want_line <<<"$entry"
    rm -rf "$prefix" "$work"/status-* "$work"/err-* "$LOG"*; touch "$LOG"; echo "$plan" >"$PLAN"
    [ "$before" = none ] || { mkdir "$prefix"; touch "$prefix/system.reg"; }
    [ "$before" != interrupted ] || touch "$prefix/.kestrel-initialising" "$prefix/first-try"
    for ((n = 1; n <= starts; n++)); do start "$n" & done
    wait
    cat "$work"/err-* >"$work/err"
    problems=()
    for ((n = 1; n <= starts; n++)); do
        read -r status overrides <"$work/status-$n"
        [ "$status" -eq "$want_status" ] || problems+=("status $status, want $want_status")
        [[ ";$overrides;" == *";winedbg.exe=d;"* ]] || problems+=("WINEDLLOVERRIDES=$overrides keeps the debugger")
    done
    boots=$(grep -c boot "$LOG")
    [ "$boots" -eq "$want_boots" ] || problems+=("$boots initialisations, want $want_boots")
    if [ -n "$want_line" ]; then grep -qF "$want_line" "$work/err" || problems+=("no line \"$want_line\"")
    elif [ -s "$work/err" ]; then problems+=("unexpected line: $(head -1 "$work/err")"); fi
    [ ! -e "$prefix/first-try" ] || problems+=("the half-made prefix was kept")
    [ ! -e "$prefix/.kestrel-initialising" ] || problems+=("the prefix is still marked as half-made")
    if [ "$want_status" -eq 0 ]; then [ -f "$prefix/system.reg" ] || problems+=("no prefix")
    elif [ -e "$prefix" ]; then problems+=("the failed prefix was kept"); fi
    if [ ${#problems[@]} -eq 0 ]; then echo "ok:   $name"; else
        echo "FAIL: $name: ${problems[*]}"; failures=$((failures + 1)); fi
done
[ "$failures" -eq 0 ] && echo PASS || echo "FAIL: $failures of ${#cases[@]} cases"
[ "$failures" -eq 0 ]

#!/usr/bin/env bash
# wine_env_start against stand-ins for Wine, its server and Xvfb: a prefix whose initialisation hangs is
# deleted and made once more, a second hang gives up, and the debugger stays off for every prefix.
# Usage: wine_env_test.sh <scripts/lib/wine-env.sh>
set -u
lib=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin"

# The display: one number on descriptor 3, then alive until stopped.
cat >"$work/bin/Xvfb" <<'STUB'
#!/usr/bin/env bash
echo 99 >&3
exec sleep 60
STUB
# wine: each wineboot takes the next word of $work/boots ("ok", "slow": ok after half a second, "hang",
# or "half": writes system.reg, as a crashed initialisation does, then hangs); the other programs end at
# once.
cat >"$work/bin/wine" <<'STUB'
#!/usr/bin/env bash
[ "$1" = wineboot ] || exit 0
echo boot >>"$FAKE_LOG"
read -r plan rest <"$FAKE_BOOTS"
echo "$rest" >"$FAKE_BOOTS"
case $plan in
    slow) sleep 0.5; mkdir -p "$WINEPREFIX" && touch "$WINEPREFIX/system.reg" ;;
    ok) mkdir -p "$WINEPREFIX" && touch "$WINEPREFIX/system.reg" ;;
    half) mkdir -p "$WINEPREFIX"; touch "$WINEPREFIX/system.reg" "$WINEPREFIX/first-attempt"; exec sleep 30 ;;
    hang) exec sleep 30 ;;
esac
STUB
# wineserver: -w hangs when $FAKE_SERVER_WAIT says so, the first time only.
cat >"$work/bin/wineserver" <<'STUB'
#!/usr/bin/env bash
echo "server $1" >>"$FAKE_LOG"
if [ "$1" = -w ] && [ -e "$FAKE_SERVER_WAIT" ]; then rm -f "$FAKE_SERVER_WAIT"; exec sleep 30; fi
exit 0
STUB
chmod +x "$work/bin/"*

. "$lib"
KESTREL_WINE=$work/bin/wine
KESTREL_WINESERVER=$work/bin/wineserver
export KESTREL_WINE_INIT_SECONDS=1 PATH=$work/bin:$PATH
export FAKE_LOG=$work/log FAKE_BOOTS=$work/boots FAKE_SERVER_WAIT=$work/server-wait

# One start in its own process: its status and exported overrides in $work/status-N, its lines in
# $work/err-N.
start() {
    (
        wine_env_start "$prefix" >/dev/null 2>"$work/err-$1"
        echo "$? $WINEDLLOVERRIDES" >"$work/status-$1"
        wine_env_stop
    )
}

failures=0
# name | the prefix before (none, made, interrupted) | wineboots | server wait hangs | starts side by
# side | status | boots | a line the start must print (stderr)
cases=(
    "fresh prefix|none|ok|no|1|0|1|"
    "existing prefix is kept|made|ok|no|1|0|0|"
    "hung initialisation is made once more|none|half ok|no|1|0|2|did not finish within 1 s; deleted the half-made prefix, initialising it once more"
    "hung wait for the server is made once more|none|ok ok|yes|1|0|2|initialising it once more"
    "second hang gives up|none|hang hang ok|no|1|1|2|did not finish within 1 s again; deleted it, giving up"
    "interrupted initialisation is made again|interrupted|ok|no|1|0|1|was left half-made; deleting it and initialising it again"
    "starts side by side initialise once|none|slow ok|no|2|0|1|"
)
for entry in "${cases[@]}"; do
    IFS='|' read -r name before boots server_hangs starts want_status want_boots want_line <<<"$entry"
    prefix=$work/prefix
    rm -rf "$prefix" "$FAKE_LOG"
    touch "$FAKE_LOG"
    echo "$boots" >"$FAKE_BOOTS"
    rm -f "$FAKE_SERVER_WAIT"
    [ "$server_hangs" = no ] || touch "$FAKE_SERVER_WAIT"
    case $before in
        made) mkdir -p "$prefix" && touch "$prefix/system.reg" ;;
        interrupted) mkdir -p "$prefix" && touch "$prefix/system.reg" "$prefix/.kestrel-initialising" "$prefix/first-attempt" ;;
    esac
    rm -f "$work"/status-* "$work"/err-*
    for ((n = 1; n <= starts; n++)); do start "$n" & done
    wait
    cat "$work"/err-* >"$work/err"
    problems=()
    for ((n = 1; n <= starts; n++)); do
        read -r status overrides <"$work/status-$n"
        [ "$status" -eq "$want_status" ] || problems+=("status $status, want $want_status")
        [[ ";$overrides;" == *";winedbg.exe=d;"* ]] || problems+=("WINEDLLOVERRIDES=$overrides keeps the debugger")
    done
    got_boots=$(grep -c '^boot$' "$FAKE_LOG")
    [ "$got_boots" -eq "$want_boots" ] || problems+=("$got_boots initialisations, want $want_boots")
    [ -z "$want_line" ] || grep -qF "$want_line" "$work/err" || problems+=("no line \"$want_line\"")
    [ -n "$want_line" ] || [ ! -s "$work/err" ] || problems+=("unexpected line: $(head -1 "$work/err")")
    [ ! -e "$prefix/first-attempt" ] || problems+=("the half-made prefix was kept")
    [ ! -e "$prefix/.kestrel-initialising" ] || problems+=("the prefix is still marked as half-made")
    if [ "$want_status" -eq 0 ]; then
        [ -f "$prefix/system.reg" ] || problems+=("no prefix")
    else
        [ ! -e "$prefix" ] || problems+=("the failed prefix was kept")
    fi
    if [ ${#problems[@]} -eq 0 ]; then
        echo "ok:   $name"
    else
        echo "FAIL: $name: ${problems[*]}"
        sed 's/^/      /' "$work/err"
        failures=$((failures + 1))
    fi
done
[ "$failures" -eq 0 ] && echo PASS || echo "FAIL: $failures of ${#cases[@]} cases"
[ "$failures" -eq 0 ]

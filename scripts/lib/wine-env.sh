# Sourced by the scripts that run Windows programs under Wine: a private X display (Xvfb), a private
# Wine prefix initialised once, and one persistent wineserver for everything that runs meanwhile.
#   wine_env_start <prefix>   exports DISPLAY, WINEPREFIX, WINEDEBUG, WINEDLLOVERRIDES; non-zero when
#                             the prefix could not be initialised within KESTREL_WINE_INIT_SECONDS twice
#   wine_env_stop             ends the wineserver and the display
#   wine_loader <program>     the Wine loader for a program's bitness (the prefixes are 64-bit ones,
#                             which run 32-bit programs too, as 64-bit Windows does)
#   wine_runs_x86             0 when this machine can run Wine's 32-bit loader

KESTREL_WINE=/usr/lib/wine/wine64
KESTREL_WINE32=/usr/lib/wine/wine
KESTREL_WINESERVER=/usr/lib/wine/wineserver
_wine_env_xvfb_pid=

wine_env_start() {
    local prefix=$1 rc
    mkdir -p "$(dirname "$prefix")"
    export WINEPREFIX=$prefix
    export WINEDEBUG=-all
    # No Mono or Gecko installers: the tests need neither, and the machine has no network for them.
    # No debugger either: a program that crashes would wait in winedbg --auto for good, wineboot
    # included; without it the program ends and its caller sees the failure. The variable outranks the
    # prefix's registry, so prefixes made earlier get it too.
    export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"

    local displayfile
    displayfile=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$displayfile" >/dev/null 2>&1 &
    _wine_env_xvfb_pid=$!
    local i
    for i in $(seq 1 100); do
        [ -s "$displayfile" ] && break
        sleep 0.1
    done
    export DISPLAY=:$(tr -d '\n' <"$displayfile")
    rm -f "$displayfile"

    _wine_env_init_prefix || return 1
    "$KESTREL_WINESERVER" -p >/dev/null 2>&1
    # The first program of a wineserver starts Wine's background services, which inherit its standard
    # handles and keep them open: start them here, so no test's output pipe stays open behind it.
    rc=0
    timeout -k 5 "$(_wine_env_init_seconds)" "$KESTREL_WINE" cmd.exe /c exit >/dev/null 2>&1 </dev/null || rc=$?
    ! _wine_env_timed_out "$rc" ||
        echo "Wine's first program in $WINEPREFIX did not end within $(_wine_env_init_seconds) s; going on" >&2
    # Likewise the desktop process (explorer.exe): it starts with the first program that needs the
    # desktop, holds that program's standard handles and lives as long as any program uses the
    # desktop, so a test's output pipe would never end. A minimised notepad holds the desktop for the
    # whole session, and the desktop process starts from it.
    "$KESTREL_WINE" start /min notepad.exe >/dev/null 2>&1 </dev/null || true
}

_wine_env_init_seconds() { echo "${KESTREL_WINE_INIT_SECONDS:-240}"; }
# timeout's status when it ended the command: 124, or 137 when the command needed the KILL as well.
_wine_env_timed_out() { [ "$1" -eq 124 ] || [ "$1" -eq 137 ]; }

# Initialises the prefix once, bounded: wineboot and the wineserver it leaves running may hang for good
# (a crashed service, a process that never ends). A prefix that did not finish in time, or whose
# initialisation was interrupted (the marker file stays), is deleted and made once more. Programs that
# start side by side (CTest's emulator) initialise one at a time: the others wait, then find it made.
_wine_env_init_prefix() {
    local limit lock rc=0
    limit=$(_wine_env_init_seconds)
    exec {lock}>"$WINEPREFIX.lock"
    if flock -w $((2 * limit + 90)) "$lock"; then
        _wine_env_init_prefix_locked "$limit" || rc=1
    else
        echo "Another start kept initialising the Wine prefix $WINEPREFIX; giving up" >&2
        rc=1
    fi
    exec {lock}>&-
    return $rc
}

_wine_env_init_prefix_locked() {
    local limit=$1 marker=$WINEPREFIX/.kestrel-initialising try rc
    if [ -f "$WINEPREFIX/system.reg" ] && [ ! -e "$marker" ]; then
        return 0
    fi
    if [ -e "$marker" ]; then
        echo "The Wine prefix $WINEPREFIX was left half-made; deleting it and initialising it again..." >&2
        _wine_env_delete_prefix
    fi
    for try in 1 2; do
        [ "$try" -eq 2 ] || echo "Initialising the Wine prefix $WINEPREFIX (once)..."
        mkdir -p "$WINEPREFIX"
        : >"$marker"
        rc=0
        timeout -k 5 "$limit" bash -c '"$1" wineboot --init >/dev/null 2>&1 </dev/null; "$2" -w' _ \
            "$KESTREL_WINE" "$KESTREL_WINESERVER" || rc=$?
        if ! _wine_env_timed_out "$rc"; then
            rm -f "$marker"
            return 0
        fi
        _wine_env_delete_prefix
        if [ "$try" -eq 1 ]; then
            echo "Initialising the Wine prefix $WINEPREFIX did not finish within $limit s; deleted the half-made prefix, initialising it once more..." >&2
        else
            echo "Initialising the Wine prefix $WINEPREFIX did not finish within $limit s again; deleted it, giving up" >&2
        fi
    done
    return 1
}

# Ends every Wine process of the prefix first, so none writes into it again once it is gone.
_wine_env_delete_prefix() {
    "$KESTREL_WINESERVER" -k >/dev/null 2>&1 || true
    timeout 30 "$KESTREL_WINESERVER" -w >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
}

# The loader must match the program: the 64-bit loader hands a 32-bit program to a separate process
# (through start.exe), so a signal sent to the loader, such as the Ctrl+C of the tests, never reaches it.
wine_loader() {
    local header machine
    header=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ')
    machine=$(od -An -tx2 -j$((${header:-0} + 4)) -N2 "$1" 2>/dev/null | tr -d ' ')
    if [ "$machine" = 014c ]; then echo "$KESTREL_WINE32"; else echo "$KESTREL_WINE"; fi
}

# 0 when this machine runs 32-bit x86 programs, as Wine's 32-bit half (the loader of 32-bit Windows
# programs) is one. Some kernels, such as a virtual machine's without a 32-bit user mode, refuse them
# with "Exec format error" although the packages install.
wine_runs_x86() {
    "$KESTREL_WINE32" --version >/dev/null 2>&1
}

wine_env_stop() {
    if [ -n "${WINEPREFIX:-}" ]; then
        "$KESTREL_WINESERVER" -k >/dev/null 2>&1 || true
    fi
    if [ -n "$_wine_env_xvfb_pid" ]; then
        kill "$_wine_env_xvfb_pid" >/dev/null 2>&1 || true
        wait "$_wine_env_xvfb_pid" 2>/dev/null || true
        _wine_env_xvfb_pid=
    fi
}

# Sourced by the scripts that run Windows programs under Wine: a private X display (Xvfb), a private
# Wine prefix initialised once, and one persistent wineserver for everything that runs meanwhile.
#   wine_env_start <prefix>   exports DISPLAY, WINEPREFIX, WINEDEBUG, WINEDLLOVERRIDES
#   wine_env_stop             ends the wineserver and the display
#   wine_loader <program>     the Wine loader for a program's bitness (the prefixes are 64-bit ones,
#                             which run 32-bit programs too, as 64-bit Windows does)
#   wine_runs_x86             0 when this machine can run Wine's 32-bit loader

KESTREL_WINE=/usr/lib/wine/wine64
KESTREL_WINE32=/usr/lib/wine/wine
KESTREL_WINESERVER=/usr/lib/wine/wineserver
_wine_env_xvfb_pid=

wine_env_start() {
    local prefix=$1
    mkdir -p "$(dirname "$prefix")"
    export WINEPREFIX=$prefix
    export WINEDEBUG=-all
    # No Mono or Gecko installers: the tests need neither, and the machine has no network for them.
    export WINEDLLOVERRIDES="mscoree,mshtml="

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

    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "Initialising the Wine prefix $WINEPREFIX (once)..."
        "$KESTREL_WINE" wineboot --init >/dev/null 2>&1 || true
        "$KESTREL_WINESERVER" -w
    fi
    "$KESTREL_WINESERVER" -p >/dev/null 2>&1
    # The first program of a wineserver starts Wine's background services, which inherit its standard
    # handles and keep them open: start them here, so no test's output pipe stays open behind it.
    "$KESTREL_WINE" cmd.exe /c exit >/dev/null 2>&1 </dev/null || true
    # Likewise the desktop process (explorer.exe): it starts with the first program that needs the
    # desktop, holds that program's standard handles and lives as long as any program uses the
    # desktop, so a test's output pipe would never end. A minimised notepad holds the desktop for the
    # whole session, and the desktop process starts from it.
    "$KESTREL_WINE" start /min notepad.exe >/dev/null 2>&1 </dev/null || true
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

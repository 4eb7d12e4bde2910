#!/bin/sh
# wine-session.sh start|stop PREFIX
# start: a fresh Wine prefix with Wine's own fonts, and a virtual X server when there is no
#        display; stop: ends the Wine server and the X server that start began.
# A caller that holds a session for several test runs exports PELLOMIR_WINE_HELD=PREFIX, and
# start and stop then leave that prefix alone.
set -eu
action=$1
mkdir -p "$2"
prefix=$(cd "$2" && pwd)
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=' LANG=C.UTF-8 LC_ALL=C.UTF-8

stop() {
    /usr/lib/wine/wineserver -k 2>/dev/null || true
    if [ -s "$prefix.xvfb-pid" ]; then
        kill "$(cat "$prefix.xvfb-pid")" 2>/dev/null || true
    fi
    rm -f "$prefix.xvfb-pid" "$prefix.display"
}

start() {
    stop
    if [ -z "${DISPLAY:-}" ]; then
        Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$prefix.display" \
            >/dev/null 2>&1 &
        echo $! >"$prefix.xvfb-pid"
        tries=0
        until [ -s "$prefix.display" ]; do
            tries=$((tries + 1))
            [ $tries -lt 100 ] || { echo "Xvfb did not start" >&2; exit 1; }
            sleep 0.1
        done
        DISPLAY=:$(cat "$prefix.display")
        echo "$DISPLAY" >"$prefix.display"
        export DISPLAY
    fi
    rm -rf "$prefix"
    mkdir -p "$prefix"
    # One server for the whole run.
    /usr/lib/wine/wineserver -p </dev/null >/dev/null 2>&1
    /usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1
    # With no window manager, a managed window costs every GUI process 2 s at exit.
    /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null
    # This Wine looks for fonts only in C:\windows\Fonts, not among its own files; without them
    # "MS Sans Serif" falls back to a wider face and the form's labels are cut off.
    cp /usr/share/wine/fonts/* "$prefix/drive_c/windows/Fonts/"
    echo "Wine prefix ready: $prefix${DISPLAY:+ on display $DISPLAY}"
}

if [ -n "${PELLOMIR_WINE_HELD:-}" ] && [ "$(cd "$PELLOMIR_WINE_HELD" 2>/dev/null && pwd)" = "$prefix" ]; then
    [ -d "$prefix/drive_c" ] || { echo "the held Wine prefix $prefix is missing" >&2; exit 1; }
    exit 0
fi
case $action in
start) start ;;
stop) stop ;;
*) echo "usage: $0 start|stop PREFIX" >&2; exit 2 ;;
esac

#!/bin/sh
# wine-session.sh start|stop PREFIX, or wine-session.sh run PREFIX PROGRAM [ARGUMENT...]
# start: a fresh Wine prefix with Wine's own fonts, and a virtual X server when there is no
#        display; stop: ends the Wine server and the X server that start began; run: a Windows
#        program in that session (wine64 starts 32-bit programs too, through Wine's 32-bit loader).
# The session's files lie in the prefix, beside a mark that this project made it: a folder
# without the mark is never deleted. A caller that holds a session for several test runs exports
# PELLOMIR_WINE_HELD=PREFIX, and start and stop then leave that prefix alone.
set -eu
[ $# -ge 2 ] || { echo "usage: $0 start|stop|run PREFIX [PROGRAM [ARGUMENT...]]" >&2; exit 2; }
action=$1
case $2 in
/*) prefix=$2 ;;
*) prefix=$PWD/$2 ;;
esac
mark=$prefix/made-by-pellomir-startup
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='
# Wine takes its ANSI code page from the locale: pin it.
export LANG=C.UTF-8 LC_ALL=C.UTF-8

# Field 22 of /proc/PID/stat: with the id, it names one process for the machine's uptime.
started() { sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | cut -d' ' -f20; }

stop() {
    [ -e "$mark" ] || return 0
    /usr/lib/wine/wineserver -k 2>/dev/null || true
    # Debian's Wine keeps the server's socket in a folder of /tmp that it names in the prefix and
    # leaves behind when the server ends.
    sockets=$(cat "$prefix/wineserver" 2>/dev/null) || sockets=""
    case $sockets in
    wine-??????) /usr/lib/wine/wineserver -w 2>/dev/null && rm -rf "/tmp/$sockets" ;;
    esac
    # Only the X server that start began: its id may since have gone to another process.
    if read -r pid since 2>/dev/null <"$prefix/session.xvfb" &&
        [ "$(started "$pid")" = "$since" ]; then
        kill "$pid" 2>/dev/null || true
    fi
    rm -f "$prefix/session.xvfb" "$prefix/session.display"
}

# Ends what start has begun if start itself is cut short. $! is the X server while this shell
# has not reaped it, so its id cannot have gone to another process.
abort_start() {
    stop
    [ -z "${!:-}" ] || kill "$!" 2>/dev/null || true
}

start() {
    if [ -e "$prefix" ] && [ ! -e "$mark" ] && ! rmdir "$prefix" 2>/dev/null; then
        echo "$prefix holds files that this project did not make; not deleting it" >&2
        exit 1
    fi
    stop
    trap abort_start EXIT
    trap 'exit 130' INT TERM
    rm -rf "$prefix"
    mkdir -p "$prefix"
    touch "$mark"
    if [ -z "${DISPLAY:-}" ]; then
        Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$prefix/session.display" \
            >/dev/null 2>&1 &
        echo "$! $(started $!)" >"$prefix/session.xvfb"
        tries=0
        until [ -s "$prefix/session.display" ]; do
            tries=$((tries + 1))
            [ $tries -lt 100 ] || { echo "Xvfb did not start" >&2; exit 1; }
            sleep 0.1
        done
        DISPLAY=:$(cat "$prefix/session.display")
        echo "$DISPLAY" >"$prefix/session.display"
        export DISPLAY
    fi
    # One server for the whole run.
    /usr/lib/wine/wineserver -p </dev/null >/dev/null 2>&1
    /usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1
    # With no window manager, a managed window costs every GUI process 2 s at exit.
    /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null
    # This Wine looks for fonts only in C:\windows\Fonts, not among its own files; without them
    # "MS Sans Serif" falls back to a wider face and the form's labels are cut off.
    cp /usr/share/wine/fonts/* "$prefix/drive_c/windows/Fonts/"
    trap - EXIT INT TERM
    echo "Wine prefix ready: $prefix${DISPLAY:+ on display $DISPLAY}"
}

run() {
    [ -e "$mark" ] || { echo "no Wine session in $prefix: start one first" >&2; exit 1; }
    if [ -s "$prefix/session.display" ]; then
        DISPLAY=$(cat "$prefix/session.display")
        export DISPLAY
    fi
    exec /usr/lib/wine/wine64 "$@"
}

case $action in
run) shift 2 && run "$@" ;;
start | stop)
    held=${PELLOMIR_WINE_HELD:-}
    if [ -n "$held" ] && [ "$(realpath -m "$held")" = "$(realpath -m "$prefix")" ]; then
        [ -d "$prefix/drive_c" ] || { echo "the held Wine prefix $prefix is missing" >&2; exit 1; }
        exit 0
    fi
    $action
    ;;
*) echo "usage: $0 start|stop|run PREFIX [PROGRAM [ARGUMENT...]]" >&2; exit 2 ;;
esac

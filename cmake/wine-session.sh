#!/bin/sh
# wine-session.sh start|start-on-display|stop|32bit PREFIX, or run|run32|env PREFIX COMMAND...
# start: a fresh Wine prefix with Wine's own fonts, on a virtual X server of its own that takes
#        only the session's own programs (an authorisation cookie);
# start-on-display: the same on the caller's display, for a person at it;
# stop:  ends the session that this caller started: its Wine server and X server;
# 32bit: succeeds where this machine executes 32-bit code, which start found out once; else
#        prints why and exits 77, ctest's skip;
# run:   a Windows program in the session (wine64 starts 32-bit programs too, through Wine's
#        32-bit loader); run32: the same, or 32bit's skip; env: a Linux command in the session.
# A session holds PREFIX.lock (flock) for as long as it runs, so a second start on the same
# prefix refuses instead of tearing the first one down; stop leaves a session alone that its
# caller did not start. What a session makes lies in its prefix, beside a mark that this project
# made it, but for the Wine server's socket folder in /tmp, which stop removes: a folder without
# the mark is never deleted. A caller that holds a session for several test runs exports
# PELLOMIR_WINE_HELD=PREFIX, and start and stop then leave that prefix alone.
set -eu
usage() {
    echo "usage: $0 start|start-on-display|stop|32bit PREFIX, or $0 run|run32|env PREFIX" \
        "COMMAND..." >&2
}
if [ $# -lt 2 ] || [ -z "$2" ]; then usage && exit 2; fi
action=$1
case $2 in
/*) prefix=$2 ;;
*) prefix=$PWD/$2 ;;
esac
mark=$prefix/made-by-pellomir-startup
loader=/usr/lib/wine/wine
# The caller's Wine settings (WINEARCH, WINELOADER, WINESERVER, WINEDLLPATH, WINEPATH...) would
# change what runs: only the session's own are passed on.
for name in $(env | sed -n 's/^\(WINE[A-Za-z0-9_]*\)=.*/\1/p'); do unset "$name"; done
# No menu builder: it writes menus and file types into the caller's home.
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=;winemenubuilder.exe=d'
# Debian 13's wineserver aborts ("free(): invalid pointer") when TMPDIR is set at all, even to
# /tmp; unset, Debian's Wine keeps its socket folder in /tmp and names it in the prefix.
unset TMPDIR
# Wine takes its ANSI code page from the locale: pin it.
export LANG=C.UTF-8 LC_ALL=C.UTF-8

# Field 22 of /proc/PID/stat: with the id, it names one process for the machine's uptime.
started() { sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | cut -d' ' -f20; }
# "PID START": the id and the start time of a process, which tell it from a later one of that id.
identity() { echo "$1 $(started "$1")"; }
# Ends a process recorded by identity() in FILE, only while the id still names that process.
end_recorded() {
    if read -r pid since 2>/dev/null <"$1" && [ "$(started "$pid")" = "$since" ]; then
        kill "$pid" 2>/dev/null || true
    fi
}

# Ends what a session left in the prefix, for the caller that holds its lock.
teardown() {
    [ -e "$mark" ] || return 0
    /usr/lib/wine/wineserver -k 2>/dev/null || true
    # The server leaves its socket folder behind.
    sockets=$(cat "$prefix/wineserver" 2>/dev/null) || sockets=""
    case $sockets in
    wine-??????) /usr/lib/wine/wineserver -w 2>/dev/null && rm -rf "/tmp/$sockets" ;;
    esac
    end_recorded "$prefix/session.xvfb"
    end_recorded "$prefix/session.keeper"
    rm -f "$prefix/session.xvfb" "$prefix/session.display" "$prefix/session.xauth" \
        "$prefix/session.keeper"
}

# Ends what start has begun if start itself is cut short. $! is the X server (or, on the caller's
# display, the keeper) while this shell has not reaped it, so its id cannot have gone to another
# process.
abort_start() {
    teardown
    [ -z "${!:-}" ] || kill "$!" 2>/dev/null || true
}

# The X server reads its cookies before it knows its display, and ignores their display numbers;
# its clients look theirs up by display, so the cookie is entered once more for that.
start_x_server() {
    auth=$prefix/session.xauth
    cookie=$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n')
    (umask 077 && : >"$auth")
    xauth -q -f "$auth" add :0 . "$cookie"
    Xvfb -displayfd 3 -auth "$auth" -screen 0 1024x768x24 -nolisten tcp \
        3>"$prefix/session.display" >/dev/null 2>&1 9>&- &
    identity $! >"$prefix/session.xvfb"
    tries=0
    until [ -s "$prefix/session.display" ]; do
        tries=$((tries + 1))
        [ $tries -lt 100 ] || { echo "Xvfb did not start" >&2; exit 1; }
        sleep 0.1
    done
    echo ":$(cat "$prefix/session.display")" >"$prefix/session.display"
    use_own_display
    xauth -q -f "$auth" add "$DISPLAY" . "$cookie"
}

# The session's own X server, where it has one, for whatever runs in the session.
use_own_display() {
    [ -s "$prefix/session.display" ] || return 0
    DISPLAY=$(cat "$prefix/session.display")
    unset WAYLAND_DISPLAY
    export DISPLAY XAUTHORITY="$prefix/session.xauth"
}

# Only a machine that cannot execute 32-bit code at all skips the product's Windows tests: the
# loader is missing, or the kernel refuses it (bash says so where exec fails with ENOEXEC). Any
# other failure is Wine's or the product's, and the tests fail on it.
executes_32bit() {
    [ -x $loader ] || { echo "Wine's 32-bit loader $loader is missing (wine32:i386)"; return; }
    status=0
    out=$(bash -c 'exec "$0" --version' $loader 2>&1) || status=$?
    case $status:$out in
    126:*"Exec format error"*) echo "this kernel does not execute 32-bit code (Exec format error)" ;;
    *) echo yes ;;
    esac
}

# A step of Wine's own: what it says goes to the session's log, shown if the step fails. The
# step does not inherit the session's lock.
wine_step() {
    "$@" </dev/null >>"$prefix/session.log" 2>&1 9>&- && return 0
    echo "Could not start a Wine session in $prefix: $* failed; Wine said:" >&2
    sed 's/^/  /' "$prefix/session.log" >&2
    exit 1
}

# The session's lock, on fd 9, holds "PID START" of the process that started the session.
open_lock() { exec 9>>"$prefix.lock"; }

# $1: "own" for a virtual X server of the session's own, "display" for the caller's.
start() {
    if [ -e "$prefix" ] && [ ! -e "$mark" ] && [ -n "$(ls -A "$prefix" 2>&1)" ]; then
        echo "$prefix holds files that this project did not make; not deleting it" >&2
        exit 1
    fi
    open_lock
    if ! flock -n 9; then
        read -r pid _ <"$prefix.lock" || pid=""
        echo "Another Wine session runs in $prefix, started by process $pid" \
            "($(tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | cut -c1-60)); not touching it" >&2
        exit 1
    fi
    identity "$PPID" >"$prefix.lock"
    teardown
    trap abort_start EXIT
    trap 'exit 130' INT TERM
    rm -rf "$prefix"
    mkdir -p "$prefix"
    touch "$mark"
    # Holds the lock while the caller lives, so that a caller killed before its stop frees the
    # prefix for the next start, which ends what it left. In the background it ignores the
    # terminal's interrupts.
    tail --pid="$PPID" -f /dev/null </dev/null >/dev/null 2>&1 &
    identity $! >"$prefix/session.keeper"
    [ "$1" = display ] || start_x_server
    executes_32bit >"$prefix/session.32bit"
    # One server for the whole run.
    wine_step /usr/lib/wine/wineserver -p
    wine_step /usr/lib/wine/wine64 wineboot --init
    # With no window manager, a managed window costs every GUI process 2 s at exit.
    wine_step /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
    # This Wine looks for fonts only in C:\windows\Fonts, not among its own files; without them
    # "MS Sans Serif" falls back to a wider face and the form's labels are cut off.
    cp /usr/share/wine/fonts/* "$prefix/drive_c/windows/Fonts/"
    trap - EXIT INT TERM
    echo "Wine prefix ready: $prefix on display $DISPLAY"
}

# A session that another process started, and is still running, is left alone.
stop() {
    [ -e "$mark" ] || return 0
    open_lock
    flock -n 9 || [ "$(cat "$prefix.lock")" = "$(identity "$PPID")" ] || return 0
    teardown
}

enter() {
    [ -e "$mark" ] || { echo "no Wine session in $prefix: start one first" >&2; exit 1; }
    use_own_display
}

# Exits 77, ctest's skip, with why, where start found that this machine cannot run 32-bit code.
require_32bit() {
    why=$(cat "$prefix/session.32bit")
    [ "$why" = yes ] || { printf '%s%s\n' "$1" "$why"; exit 77; }
}

case $action in
32bit) enter && require_32bit "" ;;
env) enter && shift 2 && exec "$@" ;;
run) enter && shift 2 && exec /usr/lib/wine/wine64 "$@" ;;
run32) enter && require_32bit "skipped: " && shift 2 && exec /usr/lib/wine/wine64 "$@" ;;
start | start-on-display | stop)
    held=${PELLOMIR_WINE_HELD:-}
    if [ -n "$held" ] && [ "$(realpath -m "$held")" = "$(realpath -m "$prefix")" ]; then
        [ -d "$prefix/drive_c" ] || { echo "the held Wine prefix $prefix is missing" >&2; exit 1; }
        exit 0
    fi
    case $action in
    start) start own ;;
    start-on-display)
        [ -n "${DISPLAY:-}" ] || { echo "start-on-display: DISPLAY is not set" >&2 && exit 2; }
        start display
        ;;
    stop) stop ;;
    esac
    ;;
*) usage && exit 2 ;;
esac

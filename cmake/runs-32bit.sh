#!/bin/sh
# runs-32bit.sh WIN32_BUILD_DIR PREFIX [RECORD]: succeeds where Wine runs the i686 build's
# programs in the Wine session of PREFIX (wine-session.sh start). Tried for real, not guessed:
# the 32-bit loader may be missing, or the kernel may refuse to execute 32-bit code. Otherwise
# it prints why on one line, with what the try printed, and exits 77, ctest's skip. RECORD, when
# given, gets "yes" or that line.
set -u
loader=/usr/lib/wine/wine
demo=$1/tools/demo/demo.exe
why=""
if [ ! -x $loader ]; then
    why="Wine's 32-bit loader $loader is missing (Debian's package wine32:i386)"
elif ! out=$($loader --version 2>&1); then
    why="Wine's 32-bit loader $loader did not run: $out"
else
    out=$(timeout 60 "$(dirname "$0")/wine-session.sh" run "$2" "$demo" 2>&1)
    status=$?
    out=$(echo "$out" | tr -s '\n' ' ' | cut -c1-300)
    case $out in
    Usage:*) ;;
    *) why="$demo did not run under Wine: exit status $status, it printed \"${out% }\"" ;;
    esac
fi
[ $# -lt 3 ] || echo "${why:-yes}" >"$3"
[ -n "$why" ] || exit 0
echo "$why"
exit 77

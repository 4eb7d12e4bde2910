#!/bin/sh
# runs-32bit.sh WIN32_BUILD_DIR: succeeds where Wine runs the i686 build's programs, in the
# build's Wine session (wine-session.sh start). Tried for real, not guessed: the 32-bit loader
# may be missing, or the kernel may refuse to execute 32-bit code.
[ -x /usr/lib/wine/wine ] || exit 1
case $(timeout 60 "$1/wine-run.sh" "$1/tools/demo/demo.exe" 2>/dev/null) in
Usage:*) exit 0 ;;
esac
exit 1

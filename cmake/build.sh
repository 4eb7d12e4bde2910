#!/bin/sh
# build.sh [--quiet] PRESET...: configures and builds each preset in turn. ./run.sh, ./test.sh and
# cpack may run at the same time: a build of this tree waits for another one instead of racing it.
# --quiet keeps each build's output in build/PRESET.log and shows it only when the build fails.
set -eu
cd "$(dirname "$0")/.."
if [ "${PELLOMIR_BUILD_LOCKED:-}" != "$PWD" ]; then
    # Before anything writes: a build/ that root made (sudo ./test.sh) fails halfway otherwise.
    if [ "$(id -u)" != 0 ]; then
        me=$(id -un) path="" fix="remove build/ as its owner, e.g. sudo rm -rf build, and run again"
        if [ -e build ]; then
            path=$(find build/ \( ! -user "$me" -o -type d ! -writable \) -print -quit)
        elif [ ! -w . ]; then
            path=$PWD fix="build in a clone of your own"
        fi
        if [ -n "$path" ]; then
            whose="belongs to $(stat -c %U -- "$path"), not to you ($me)"
            [ -O "$path" ] && whose="is yours ($me) but not writable"
            echo "$path $whose: $fix"
            exit 1
        fi
    fi
    mkdir -p build
    # The lock is CMake's, the only kind cpack can take (see BuildLock.cmake): a cmake process holds
    # it and runs this script again. That process's own standard error is dropped: it would only
    # add an error of its own to a failed build's output.
    export PELLOMIR_BUILD_LOCKED="$PWD"
    exec cmake -P cmake/BuildLock.cmake -- sh cmake/build.sh "$@" 3>&2 2>/dev/null
fi
exec 2>&3 3>&-
quiet=no
[ "${1:-}" != --quiet ] || { quiet=yes && shift; }
build() { cmake --preset "$1" >/dev/null && cmake --build --preset "$1" -j2; }
for preset in "$@"; do
    echo "Building build/$preset"
    if [ $quiet = no ]; then
        build "$preset" || exit 1
    elif ! build "$preset" >"build/$preset.log" 2>&1; then
        cat "build/$preset.log"
        exit 1
    fi
done

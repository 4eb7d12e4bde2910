#!/bin/sh
# build.sh [--quiet] PRESET...: configures and builds each preset in turn. ./run.sh and ./test.sh
# may run at the same time: a build of this tree waits for another one instead of racing it.
# --quiet keeps each build's output in build/PRESET.log and shows it only when the build fails.
set -eu
cd "$(dirname "$0")/.."
quiet=no
[ "${1:-}" != --quiet ] || { quiet=yes && shift; }
mkdir -p build
exec 9>build/.lock
flock -n 9 || { echo "Waiting for another build of this tree to end"; flock 9; }
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

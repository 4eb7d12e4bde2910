#!/bin/bash
# Builds all three presets and runs every test: natively (sanitizers, fuzzer), then under Wine
# on the product (win32) where this machine runs 32-bit code, and on its x86_64 twin (win64).
# Installs what is missing first.
set -u
cd "$(dirname "$0")"
cmake/install-deps.sh || exit 1
for preset in native win32 win64; do
    echo "== build $preset"
    { cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset" -j2; } || exit 1
done

# One Wine session for both Windows presets: making a prefix is the slowest step of a run.
prefix=$PWD/build/wineprefix
cmake/wine-session.sh start "$prefix" || exit 1
export PELLOMIR_WINE_HELD=$prefix
trap 'PELLOMIR_WINE_HELD= cmake/wine-session.sh stop "$prefix"' EXIT
if cmake/runs-32bit.sh build/win32; then
    echo "This machine runs 32-bit Windows programs: the Windows tests run on the product" \
        "(build/win32) and on its x86_64 twin (build/win64)"
    only=""
else
    echo "This machine cannot run 32-bit Windows programs: the Windows tests run on the x86_64" \
        "twin (build/win64) alone, and of the product's tests only the package check runs"
    only="-L package"
fi

status=0 passed=0 failed=0
for preset in native win32 win64; do
    echo "== test $preset"
    filter=""
    [ "$preset" != win32 ] || filter=$only
    # shellcheck disable=SC2086 # $filter is empty or one option and its value
    ctest --preset "$preset" -j2 $filter 2>&1 | tee "build/$preset/test-output.log"
    [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
    # "100% tests passed, 0 tests failed out of 12"
    f="" total=""
    read -r f total < <(sed -n 's/.*tests passed, \([0-9]*\) tests\{0,1\} failed out of \([0-9]*\).*/\1 \2/p' \
        "build/$preset/test-output.log")
    [ -n "${total:-}" ] || { status=1; continue; }
    passed=$((passed + total - f)) failed=$((failed + f))
done
echo "total: $passed passed, $failed failed"
exit $status

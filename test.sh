#!/bin/bash
# Builds all three presets and runs every test: natively (sanitizers, fuzzer), then under Wine
# on the product (win32), whose Windows tests count as skipped where this machine does not run
# 32-bit code, and on its x86_64 twin (win64). Installs what is missing first.
set -u
cd "$(dirname "$0")" || exit 1
cmake/install-deps.sh || exit 1
for preset in native win32 win64; do
    echo "== build $preset"
    { cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset" -j2; } || exit 1
done

# One Wine session for both Windows presets: making a prefix is the slowest step of a run. The
# traps come first, so that an interrupt while the session starts ends it too.
prefix=$PWD/build/wineprefix
# shellcheck disable=SC2317 # run by the trap
end_session() { PELLOMIR_WINE_HELD="" cmake/wine-session.sh stop "$prefix"; }
trap end_session EXIT
trap 'exit 130' INT TERM
cmake/wine-session.sh start "$prefix" || exit 1
export PELLOMIR_WINE_HELD=$prefix

status=0 passed=0 failed=0 skipped=0
for preset in native win32 win64; do
    echo "== test $preset"
    log=build/$preset/test-output.log
    ctest --preset "$preset" -j2 2>&1 | tee "$log"
    [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
    # "100% tests passed, 0 tests failed out of 12", where the passed include the skipped
    f="" total=""
    read -r f total < <(sed -n 's/.*tests passed, \([0-9]*\) tests\{0,1\} failed out of \([0-9]*\).*/\1 \2/p' "$log")
    [ -n "${total:-}" ] || { status=1; continue; }
    s=$(grep -c ' (Skipped)$' "$log")
    passed=$((passed + total - f - s)) failed=$((failed + f)) skipped=$((skipped + s))
done
# Written by the test wine.32bit: "yes", or why the product's programs did not run.
verdict=$(cat build/win32/runs-32bit.txt 2>/dev/null || echo "its 32-bit try did not run")
if [ "$verdict" = yes ]; then
    echo "This machine runs 32-bit Windows programs: the product (build/win32) and its x86_64" \
        "twin (build/win64) were both tested under Wine"
else
    echo "The product's Windows tests were skipped, and only its x86_64 twin ran under Wine:" \
        "$verdict"
fi
echo "total: $passed passed, $failed failed, $skipped skipped"
exit $status

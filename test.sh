#!/bin/bash
# Builds all three presets and runs every test: natively (sanitizers, fuzzer), then under Wine
# on the product (win32), whose Windows tests count as skipped only where this machine cannot
# execute 32-bit code at all, and on its x86_64 twin (win64), which also reads the product's
# file. Installs what is missing first.
set -u
cd "$(dirname "$0")" || exit 1
cmake/install-deps.sh || exit 1
cmake/build.sh native win32 win64 || exit 1

# One Wine session for both Windows presets: making a prefix is the slowest step of a run. The
# traps come first, so that an interrupt while the session starts ends it too.
prefix=$(sed -n 's/^PELLOMIR_WINEPREFIX:PATH=//p' build/win32/CMakeCache.txt)
[ -n "$prefix" ] || { echo "build/win32 names no Wine prefix"; exit 1; }
session=cmake/wine-session.sh
# shellcheck disable=SC2317 # run by the trap
end_session() { PELLOMIR_WINE_HELD="" "$session" stop "$prefix"; }
trap end_session EXIT
trap 'exit 130' INT TERM
"$session" start "$prefix" || exit 1
export PELLOMIR_WINE_HELD=$prefix

status=0 passed=0 failed=0 skipped=0
for preset in native win32 win64; do
    echo "== test $preset"
    log=build/$preset/test-output.log
    ctest --preset "$preset" -j2 2>&1 | tee "$log"
    code=${PIPESTATUS[0]}
    [ "$code" -eq 0 ] || status=1
    # "100% tests passed, 0 tests failed out of 12", where the passed include the skipped
    f="" total=""
    read -r f total < <(sed -n 's/.*tests passed, \([0-9]*\) tests\{0,1\} failed out of \([0-9]*\).*/\1 \2/p' "$log")
    if [ -z "${total:-}" ]; then
        echo "ctest of $preset ended with status $code before its summary: counted as one failure"
        status=1 failed=$((failed + 1))
        continue
    fi
    s=$(grep -c ' (Skipped)$' "$log")
    passed=$((passed + total - f - s)) failed=$((failed + f)) skipped=$((skipped + s))
done
if why=$("$session" 32bit "$prefix"); then
    echo "This machine runs 32-bit code: the product (build/win32) and its x86_64 twin" \
        "(build/win64) were both tested under Wine"
else
    echo "The product's Windows programs were skipped, as $why; its file was checked, and" \
        "its x86_64 twin ran under Wine"
fi
echo "total: $passed passed, $failed failed, $skipped skipped"
exit $status

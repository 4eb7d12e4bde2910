#!/bin/bash
# Builds all three presets and runs every test: natively (sanitizers, fuzzer), then the
# x86_64 twin under Wine. Installs what is missing first.
set -u
cd "$(dirname "$0")"
cmake/install-deps.sh || exit 1
for preset in native win32 win64; do
    echo "== build $preset"
    { cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset" -j2; } || exit 1
done
status=0 passed=0 failed=0
for preset in native win64; do
    echo "== test $preset"
    ctest --preset "$preset" -j2 2>&1 | tee "build/$preset/test-output.log"
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

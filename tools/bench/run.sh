#!/bin/sh
# Throughput and peak memory of the settings reader and of inih, each in its own process,
# on a 1 MB and a 100 MB file of short lines. Usage: tools/bench/run.sh
set -eu
repo=$(cd "$(dirname "$0")/../.." && pwd)
build="$repo/build/bench"
log="$build/build.log"
"$repo/cmake/install-deps.sh"
mkdir -p "$build"
cmake -S "$repo" -B "$build" -DCMAKE_BUILD_TYPE=Release -DPELLOMIR_SANITIZE=OFF \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >"$log" 2>&1 ||
    { cat "$log"; exit 1; }
grep "inih_bench is skipped" "$log" || true
targets=$(sed -n 's/^PELLOMIR_BENCH_TARGETS:INTERNAL=//p' "$build/CMakeCache.txt" | tr ';' ' ')
for target in $targets; do
    cmake --build "$build" -j2 --target "$target" >"$log" 2>&1 || { cat "$log"; exit 1; }
done

# Short CR LF lines, long and short keys, some in lower case; 100 MB is 100 copies of 1 MB.
small="$build/short-lines-1mb.ini"
big="$build/short-lines-100mb.ini"
if [ ! -f "$big" ]; then
    awk 'BEGIN {
        split("Timelimit = %d|time=%d|RangeMin = -%d|  min\t= %d|RangeMax = %d|MAX = %d|" \
              "Operations = add,sub,mul|ops = div,%d", form, "|")
        for (n = 0; size < 1000000; ++n) {
            line = sprintf(form[n % 8 + 1], n) "\r\n"
            printf "%s", line
            size += length(line)
        }
    }' >"$small"
    for _ in $(seq 100); do cat "$small"; done >"$big.part"
    mv "$big.part" "$big"
fi

field() { echo "$2" | tr ' ' '\n' | sed -n "s/^$1=//p"; }
peaks=""
printf '%-8s  %-8s  %9s  %12s\n' "file" "parser" "MB/s" "peak KB"
for size in 1 100; do
    file="$build/short-lines-${size}mb.ini"
    for target in $targets; do
        cat "$file" >/dev/null # the page cache holds it before any pass is timed
        result=$("$build/tools/bench/$target" "$file")
        peak=$(field peak_kb "$result")
        printf '%-8s  %-8s  %9s  %12s\n' "$size MB" "${target%_bench}" "$(field mbps "$result")" "$peak"
        [ "$target" != settings_bench ] || peaks="$peaks $peak"
    done
done
# shellcheck disable=SC2086 # one word per file size
set -- $peaks
echo "settings peak, 100 MB minus 1 MB: $(($2 - $1)) KB"

#!/bin/sh
# run_fuzz.sh FUZZER SEEDS WORKDIR SECONDS
# Fuzzes a fresh copy of the seeds in WORKDIR, prints the number of runs, fails on any finding.
set -eu
fuzzer=$1 seeds=$2 work=$3 seconds=$4
rm -rf "$work" && mkdir -p "$work" && cp -R "$seeds" "$work/corpus"
cd "$work"
status=0
# Inputs past 8192 bytes reach the reader's block boundaries.
"$fuzzer" -max_total_time="$seconds" -max_len=9000 corpus >fuzz.log 2>&1 || status=$?
runs=$(sed -n 's/^Done \([0-9]*\) runs.*/\1/p' fuzz.log)
echo "settings.fuzz: ${runs:-no} runs in $seconds s, exit status $status"
[ "$status" -eq 0 ] || tail -n 40 fuzz.log
exit "$status"

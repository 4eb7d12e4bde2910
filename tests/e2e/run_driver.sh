#!/bin/sh
# run_driver.sh STDERR_FILE DRIVER [ARG]...: the driver, its stderr in the file, shown if it fails.
stderr_file=$1
shift
"$@" 2>"$stderr_file" && exit 0
status=$?
echo "stderr, $stderr_file:" && cat "$stderr_file"
exit "$status"

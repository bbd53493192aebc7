#!/bin/sh
# A short, bounded run of a libFuzzer target, as the test command makes it. New inputs go to
# CORPUS (in the build tree); the seeds stay untouched.
#   run-fuzzer.sh FUZZER CORPUS SEEDS SECONDS
set -e
mkdir -p "$2"
exec "$1" -max_total_time="$4" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 "$2" "$3"

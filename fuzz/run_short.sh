#!/bin/sh
# A short fuzzing run from the seed corpus, into a fresh working corpus, for
# ctest.   run_short.sh FUZZER SEEDS WORK SECONDS
set -eu
fuzzer=$1 seeds=$2 work=$3 seconds=$4
rm -rf "$work"
mkdir -p "$work"
exec "$fuzzer" -max_total_time="$seconds" -max_len=32768 -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix="$work/" "$work" "$seeds"

#!/bin/sh
# A long fuzzing campaign: each target in turn for MINUTES, niced, on one
# core, from the seed corpus into a corpus kept in BUILD/fuzz-campaign.
#   fuzz/campaign.sh BUILD MINUTES [TARGET...]
# BUILD is a build configured with -DTIMB_FLV_FUZZ=ON (the sanitize preset)
# whose seed corpus exists (ctest -L fuzz makes it). Each target's log ends
# with libFuzzer's final statistics; crashes land beside its corpus.
set -eu
build=$(cd "${1:?usage: fuzz/campaign.sh BUILD MINUTES [TARGET...]}" && pwd)
minutes=${2:?usage: fuzz/campaign.sh BUILD MINUTES [TARGET...]}
shift 2
targets=${*:-reader scan stream standin}
out=$build/fuzz-campaign
for target in $targets; do
  mkdir -p "$out/$target"
  echo "=== fuzz_$target, $minutes minutes, $(date -u +%H:%M:%S)"
  nice -n 19 taskset -c 1 "$build/fuzz_$target" -max_total_time=$((minutes * 60)) -max_len=32768 -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$out/$target-" \
    "$out/$target" "$build/fuzz/corpus/$target" >"$out/$target.log" 2>&1 || echo "fuzz_$target stopped: see $out/$target.log"
  grep -E '^#[0-9]+ +DONE|^stat::' "$out/$target.log" || tail -n 20 "$out/$target.log"
done

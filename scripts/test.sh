#!/usr/bin/env bash
# The whole test suite: installs what is missing, builds every preset and
# runs its tests. Exits non-zero when anything fails.
set -uo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh || exit 1

jobs=$(nproc)
failed=()

# run_preset NAME [ctest arguments...]
run_preset() {
  local preset=$1; shift
  echo "=== $preset"
  if ! cmake --preset "$preset" >"build-$preset.log" 2>&1 || ! cmake --build --preset "$preset" -j "$jobs" >>"build-$preset.log" 2>&1; then
    tail -n 60 "build-$preset.log"
    failed+=("$preset (build)")
    return
  fi
  rm -f "build-$preset.log"
  ctest --preset "$preset" "$@" || failed+=("$preset")
}

run_preset linux
run_preset sanitize
run_preset tsan -L threads
run_preset win32
run_preset win64

if [ ${#failed[@]} -ne 0 ]; then
  echo "FAILED: ${failed[*]}"
  exit 1
fi
echo "all presets passed"

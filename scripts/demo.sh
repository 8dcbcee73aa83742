#!/usr/bin/env bash
# The quick start: installs what is missing, builds the linux preset, and
# runs flvaudio on the bundled sample. BUILD_DIR picks another build folder
# (default build/linux, the preset's own).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${BUILD_DIR:-build/linux}
sample=samples/sample.flv
extracted=$build/demo/sample.mp3

step() { printf '\n=== %s\n' "$*"; }

step "installing what is missing"
# Nothing to install needs no root; otherwise ask sudo when there is one.
if ! scripts/install-deps.sh 2>/dev/null; then
  if [ "$(id -u)" -ne 0 ] && command -v sudo >/dev/null; then
    sudo scripts/install-deps.sh
  else
    scripts/install-deps.sh
  fi
fi

step "building (linux preset, into $build)"
cmake --preset linux -B "$build" >/dev/null
cmake --build "$build" -j "$(nproc)" --target flvaudio >/dev/null

step "flvaudio info $sample"
"$build/flvaudio" info "$sample"

step "flvaudio extract $sample -o $extracted"
mkdir -p "$(dirname "$extracted")"
"$build/flvaudio" extract "$sample" -o "$extracted"
if command -v ffprobe >/dev/null; then
  ffprobe -v error -show_entries stream=codec_name,sample_rate,channels:format=duration \
          -of compact=nokey=0 "$extracted" | sed 's/^/ffprobe: /'
fi

step "done"
echo "The extracted audio is $(cd "$(dirname "$extracted")" && pwd)/$(basename "$extracted") ($(wc -c <"$extracted") bytes of MP3)."
echo "Play it with any MP3 player, e.g. ffplay -nodisp -autoexit $extracted"

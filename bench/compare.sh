#!/usr/bin/env bash
# Measures the add-on against the physical limit and against ffmpeg, and
# prints the table bench/README.md holds.
#
#   bench/compare.sh BUILD_DIR [--keep]
#
# BUILD_DIR is a build configured with -DTIMB_FLV_BENCH=ON (a release build:
# RelWithDebInfo or Release) and built. The FLV files are generated into
# BUILD_DIR/bench-data (about 1.6 GB) and removed at the end unless --keep.
# Every figure is taken in this one run, on a warm file cache.
set -euo pipefail

build=${1:?usage: bench/compare.sh BUILD_DIR [--keep]}
keep=${2:-}
build=$(cd "$build" && pwd)
data=$build/bench-data
runs=5

for program in make_flv flv_bench flv_extract; do
  [ -x "$build/$program" ] || { echo "compare.sh: $build/$program is missing; build with -DTIMB_FLV_BENCH=ON" >&2; exit 1; }
done
command -v ffmpeg >/dev/null || { echo "compare.sh: ffmpeg is not installed" >&2; exit 1; }

mkdir -p "$data"
cleanup() { [ "$keep" = --keep ] || rm -rf "$data"; }
trap cleanup EXIT

# name kind bytes
files=(
  "av_1g.flv av 1073741824"
  "audio_256m.flv audio 268435456"
  "huge_256m.flv huge 268435456"
)
paths=()
for entry in "${files[@]}"; do
  read -r name kind bytes <<<"$entry"
  "$build/make_flv" "$kind" "$bytes" "$data/$name" >"$data/$name.largest"
  paths+=("$data/$name")
done

warm() { cat "$@" >/dev/null; }

warm "${paths[@]}"
"$build/flv_bench" --benchmark_filter='^(RawRead|Create|Extract|SeekOwner|SeekOlder)/' \
  --benchmark_out="$data/bench.json" --benchmark_out_format=json "${paths[@]}" >&2
# Peak memory over the baseline of a process that has done nothing else.
for path in "${paths[@]}"; do
  warm "$path"
  "$build/flv_bench" --benchmark_filter='^Memory/' --benchmark_out="$path.memory.json" \
    --benchmark_out_format=json "$path" >&2
done

python3 - "$build" "$data" "$runs" "${paths[@]}" <<'PY'
import json, os, platform, statistics, subprocess, sys, time

build, data, runs, paths = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4:]

def load(path):
    return {b["name"]: b for b in json.load(open(path))["benchmarks"]}

bench = load(os.path.join(data, "bench.json"))

def find(prefix, name):
    for key, value in bench.items():
        if key.startswith(prefix + "/" + name):
            return value
    raise SystemExit("compare.sh: no %s figure for %s" % (prefix, name))

def wall(command):
    """Median wall time of a whole process, warm cache."""
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        times.append(time.perf_counter() - start)
    return statistics.median(times)

def mib(n):
    return "%.2f MiB" % (n / 1048576)

def verdict(ok):
    return "met" if ok else "**not met**"

rows, reads = [], []
for path in paths:
    name = os.path.basename(path)
    size = os.path.getsize(path)
    largest = int(open(path + ".largest").read().split()[1])
    raw = find("RawRead", name)["real_time"]
    create = find("Create", name)
    extract = find("Extract", name)
    owner = find("SeekOwner", name)
    older = find("SeekOlder", name)
    memory = next(iter(load(path + ".memory.json").values()))

    raw_process = wall(["dd", "if=" + path, "of=/dev/null", "bs=32K", "status=none"])
    ours_process = wall([os.path.join(build, "flv_extract"), path, "/dev/null"])
    ffmpeg_process = wall(["ffmpeg", "-nostdin", "-loglevel", "quiet", "-i", path, "-map", "0:a",
                           "-c", "copy", "-f", "adts", "-y", "/dev/null"])

    seek_limit = size / 20 + largest + 15
    memory_limit = 2 * largest + 1048576
    label = "%s (%s, largest record %s)" % (name, mib(size), mib(largest))
    rows += [
        (label, "creation (whole scan) / raw 32 KiB read", "%.1f ms / %.1f ms" % (create["real_time"], raw),
         "%.2f" % (create["real_time"] / raw), "<= 1", verdict(create["real_time"] <= raw)),
        ("", "extraction via FlvFileRead / raw read", "%.1f ms / %.1f ms" % (extract["real_time"], raw),
         "%.2f" % (extract["real_time"] / raw), "<= 2", verdict(extract["real_time"] <= 2 * raw)),
        ("", "whole process: flv_extract / dd bs=32K", "%.0f ms / %.0f ms" % (ours_process * 1e3, raw_process * 1e3),
         "%.2f" % (ours_process / raw_process), "<= 2", verdict(ours_process <= 2 * raw_process)),
        ("", "whole process: flv_extract / ffmpeg -c copy", "%.0f ms / %.0f ms" % (ours_process * 1e3, ffmpeg_process * 1e3),
         "%.2f" % (ours_process / ffmpeg_process), "< 1", verdict(ours_process < ffmpeg_process)),
        ("", "owner seek: bytes read, mean / most", "%s / %s" % (mib(owner["bytes_per_seek"]), mib(owner["most_bytes_per_seek"])),
         "%.3f of limit" % (owner["most_bytes_per_seek"] / seek_limit), "most <= %s" % mib(seek_limit),
         verdict(owner["most_bytes_per_seek"] <= seek_limit)),
        ("", "owner seek: time, read calls", "%.3f ms, %.0f calls" % (owner["real_time"] / 100, owner["reads_per_seek"]),
         "", "", ""),
        ("", "older stream seek: bytes read mean / most", "%s / %s" % (mib(older["bytes_per_seek"]), mib(older["most_bytes_per_seek"])),
         "", "(walks from the first record)", ""),
        ("", "older stream seek: time, read calls", "%.3f ms, %.0f calls" % (older["real_time"] / 100, older["reads_per_seek"]),
         "", "", ""),
        ("", "peak memory over baseline / largest record", "%s / %s" % (mib(memory["peak_over_baseline"]), mib(largest)),
         "%.2f of limit" % (memory["peak_over_baseline"] / memory_limit), "<= %s" % mib(memory_limit),
         verdict(memory["peak_over_baseline"] <= memory_limit)),
    ]
    reads.append((name, "%.3f" % create["read_bytes_per_file_byte"], "%.0f" % create["read_calls"],
                  "%.3f" % extract["read_bytes_per_file_byte"], "%.0f" % extract["read_calls"]))

cpu = next((l.split(":", 1)[1].strip() for l in open("/proc/cpuinfo") if l.startswith("model name")), "?")
memory_total = next((l.split()[1] for l in open("/proc/meminfo") if l.startswith("MemTotal")), "0")
print("- Machine: %s, %d cores, %.0f GiB RAM, Linux %s" % (cpu, os.cpu_count(), int(memory_total) / 1048576, platform.release()))
print("- Date: %s" % time.strftime("%Y-%m-%d %H:%M %Z"))
print("- Whole-process times: median of %d runs; in-process: Google Benchmark real time." % runs)
print()
print("| File | Figure | Measured | Ratio | Target | |")
print("|---|---|---|---|---|---|")
for row in rows:
    print("| " + " | ".join(row) + " |")
print()
print("Reads made (bytes read per byte of the file, read calls):")
print()
print("| File | creation bytes/file | creation calls | extraction bytes/file | extraction calls |")
print("|---|---|---|---|---|")
for row in reads:
    print("| " + " | ".join(row) + " |")
PY

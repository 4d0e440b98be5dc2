#!/usr/bin/env bash
# Whole-process figures of the Linux show with a 6000 x 4000 photo as its only picture, stored
# baseline and progressive (4:2:0: the photos of bench/loaders), on a private 1920 x 1080 Xvfb:
# the milliseconds from main to the first frame that --timing reports, and the peak RSS. RUNS
# rounds alternate the two files (and the programs, when several are given), each run with the
# load average at its start; then the medians and progressive / baseline for each program.
# Usage (after `cmake --build --preset linux`):
#   bench/show/progressive_first_frame.sh [RUNS [VELMORA...]]
set -euo pipefail
cd "$(dirname "$0")/../.."
source scripts/lib.sh
runs="${1:-5}"
programs=("${@:2}")
[ ${#programs[@]} -gt 0 ] || programs=(build/linux/platform/linux/velmora)
bench=build/linux/bench/loaders/loaders_bench
[ -x "$bench" ] || { echo "build the linux preset first"; exit 1; }

# The benchmark makes the photos in the temporary folder the first time it needs them.
photos="${TMPDIR:-/tmp}"
[ -f "$photos/velmora-bench-6000x4000.jpg" ] || "$bench" --benchmark_filter='ReducedDecode/' >/dev/null
[ -f "$photos/velmora-bench-6000x4000-progressive.jpg" ] ||
  "$bench" --benchmark_filter='ReducedDecodeProgressive420' >/dev/null

work="$(mktemp -d)"
trap 'stop_xvfb; rm -rf "$work"' EXIT
mkdir -p "$work/baseline" "$work/progressive"
cp "$photos/velmora-bench-6000x4000.jpg" "$work/baseline/photo.jpg"
cp "$photos/velmora-bench-6000x4000-progressive.jpg" "$work/progressive/photo.jpg"
python3 - "$work" <<'PY'
import sys
for kind in ("baseline", "progressive"):
    ini = "[Section]\r\n画像のﾌｫﾙﾀﾞ=" + sys.argv[1] + "/" + kind + "\r\n"
    open(sys.argv[1] + "/" + kind + ".ini", "wb").write(ini.encode("cp932"))
PY
start_xvfb 1920x1080x24

for round in $(seq 1 "$runs"); do
  for program in "${programs[@]}"; do
    for kind in baseline progressive; do
      load=$(cut -d' ' -f1 /proc/loadavg)
      /usr/bin/time -f "%M" -o "$work/rss" timeout -s INT 3 "$program" -s --ini "$work/$kind.ini" --timing \
        2>"$work/log" || true
      first=$(sed -n 's/.*first frame after \([0-9]*\) ms.*/\1/p' "$work/log")
      echo "$round $program $kind ${first:-none} $(( $(tail -n1 "$work/rss") / 1024 )) $load" | tee -a "$work/runs"
    done
  done
done

python3 - "$work/runs" <<'PY'
import statistics, sys
rows = [line.split() for line in open(sys.argv[1])]
for program in dict.fromkeys(r[1] for r in rows):
    median = {}
    for kind in ("baseline", "progressive"):
        mine = [r for r in rows if r[1] == program and r[2] == kind and r[3] != "none"]
        first = [int(r[3]) for r in mine]
        rss = [int(r[4]) for r in mine]
        median[kind] = statistics.median(first)
        print(f"{program} {kind}: first frame median {median[kind]:.0f} ms ({min(first)} to {max(first)}), "
              f"peak RSS {min(rss)} to {max(rss)} MB")
    print(f"{program} progressive / baseline: {median['progressive'] / median['baseline']:.2f}")
loads = [float(r[5]) for r in rows]
print(f"load average {min(loads):.2f} to {max(loads):.2f}")
PY

#!/usr/bin/env bash
# Whole-process figures of the Linux show with one picture as its only picture, for two
# pictures side by side on a private 1920 x 1080 Xvfb: the milliseconds from main to the first
# frame that --timing reports, and the peak RSS. RUNS rounds alternate the two files, each run
# with the load average at its start; then the medians and second / first.
# Usage (after `cmake --build --preset linux`):
#   bench/show/first_frame_pair.sh FIRST SECOND [RUNS [VELMORA]]
set -euo pipefail
first_file="$(realpath "$1")"
second_file="$(realpath "$2")"
cd "$(dirname "$0")/../.."
source scripts/lib.sh
runs="${3:-5}"
program="${4:-build/linux/platform/linux/velmora}"
[ -x "$program" ] || { echo "build the linux preset first"; exit 1; }

work="$(mktemp -d)"
trap 'stop_xvfb; rm -rf "$work"' EXIT
names=("$(basename "$first_file")" "$(basename "$second_file")")
for i in 0 1; do
  mkdir -p "$work/$i"
  cp "$([ "$i" = 0 ] && echo "$first_file" || echo "$second_file")" "$work/$i/"
  python3 - "$work/$i" <<'PY'
import sys
ini = "[Section]\r\n画像のﾌｫﾙﾀﾞ=" + sys.argv[1] + "\r\n"
open(sys.argv[1] + ".ini", "wb").write(ini.encode("cp932"))
PY
done
start_xvfb 1920x1080x24

for round in $(seq 1 "$runs"); do
  for i in 0 1; do
    load=$(cut -d' ' -f1 /proc/loadavg)
    /usr/bin/time -f "%M" -o "$work/rss" timeout -s INT 8 "$program" -s --ini "$work/$i.ini" --timing \
      2>"$work/log" || true
    first=$(sed -n 's/.*first frame after \([0-9]*\) ms.*/\1/p' "$work/log")
    echo "$round $i ${first:-none} $(( $(tail -n1 "$work/rss") / 1024 )) $load" | tee -a "$work/runs"
  done
done

python3 - "$work/runs" "${names[@]}" <<'PY'
import statistics, sys
rows = [line.split() for line in open(sys.argv[1])]
median = []
for i, name in enumerate(sys.argv[2:4]):
    mine = [r for r in rows if r[1] == str(i) and r[2] != "none"]
    first = [int(r[2]) for r in mine]
    rss = [int(r[3]) for r in mine]
    median.append(statistics.median(first))
    print(f"{name}: first frame median {median[-1]:.0f} ms ({min(first)} to {max(first)}), "
          f"peak RSS {min(rss)} to {max(rss)} MB")
print(f"{sys.argv[3]} / {sys.argv[2]}: {median[1] / median[0]:.2f}")
loads = [float(r[4]) for r in rows]
print(f"load average {min(loads):.2f} to {max(loads):.2f}")
PY

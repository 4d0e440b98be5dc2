#!/usr/bin/env bash
# Start-up against a plain image viewer: a 6000 x 4000 photo, stored as a JPEG, as a 24-bit
# BMP and as a GIF (256 colours), as the only picture of the Linux show and shown full-screen by feh (the yardstick; it is
# installed here when missing and used for nothing else), each on a private Xvfb of every SIZE.
# The show's figure is its own --timing "first frame" (from main); feh's is the wall time of a
# run that shows the photo and quits 10 ms after (a slide show of one picture), so it includes
# feh's start and end. With each: the peak RSS of the process, held to the goals at 3840 x 2160
# (150 MB) and 7680 x 4320 (400 MB). RUNS rounds alternate the
# programs and the files; each line carries the load average at its start; then the medians,
# and each show / feh. VELMORA may name several builds of the show (space-separated) to compare
# them in the same runs; KINDS may name a subset of the files ("jpg bmp gif").
# Usage (after `cmake --build --preset linux`):
#   [VELMORA="OLD NEW"] [KINDS="gif"] bench/show/first_frame.sh [RUNS [SIZE...]]
#   SIZE as 3840x2160 (default: 1920x1080 3840x2160 7680x4320)
set -euo pipefail
cd "$(dirname "$0")/../.."
source scripts/lib.sh
runs="${1:-5}"
sizes=("${@:2}")
[ ${#sizes[@]} -gt 0 ] || sizes=(1920x1080 3840x2160 7680x4320)
read -r -a shows <<<"${VELMORA:-build/linux/platform/linux/velmora}"
read -r -a kinds <<<"${KINDS:-jpg bmp gif}"
bench=build/linux/bench/loaders/loaders_bench
[ -x "${shows[0]}" ] && [ -x "$bench" ] || { echo "build the linux preset first"; exit 1; }
command -v feh >/dev/null || apt-get install -y -q feh >/dev/null

photos="${TMPDIR:-/tmp}"
[ -f "$photos/velmora-bench-6000x4000.jpg" ] || "$bench" --benchmark_filter='ReducedDecode/' >/dev/null
work="$(mktemp -d)"
trap 'stop_xvfb; rm -rf "$work"' EXIT
mkdir -p "$work/jpg" "$work/bmp" "$work/gif"
cp "$photos/velmora-bench-6000x4000.jpg" "$work/jpg/photo.jpg"
convert "$work/jpg/photo.jpg" -type TrueColor "BMP3:$work/bmp/photo.bmp"
[[ " ${kinds[*]} " != *" gif "* ]] || convert "$work/jpg/photo.jpg" -colors 256 "$work/gif/photo.gif"
python3 - "$work" <<'PY'
import sys
for kind in ("jpg", "bmp", "gif"):
    ini = "[Section]\r\n画像のﾌｫﾙﾀﾞ=" + sys.argv[1] + "/" + kind + "\r\n"
    open(sys.argv[1] + "/" + kind + ".ini", "wb").write(ini.encode("cp932"))
PY

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }

: >"$work/runs"
for size in "${sizes[@]}"; do
  start_xvfb "${size}x24"
  for round in $(seq 1 "$runs"); do
    for kind in "${kinds[@]}"; do
      for program in "${shows[@]}" feh; do
        load=$(cut -d' ' -f1 /proc/loadavg)
        if [ "$program" != feh ]; then
          # SIGTERM: a background job's SIGINT is ignored.
          /usr/bin/time -f "%M" -o "$work/rss" timeout -s TERM 6 "$program" -s --ini "$work/$kind.ini" --timing \
            2>"$work/log" || true
          shown=$(sed -n 's/.*first frame after \([0-9]*\) ms.*/\1/p' "$work/log")
        else
          start=$(now_ms)
          /usr/bin/time -f "%M" -o "$work/rss" timeout 30 feh -F -Z --hide-pointer -D 0.01 --on-last-slide quit \
            "$work/$kind/photo.$kind" >/dev/null 2>&1 || true
          shown=$(( $(now_ms) - start ))
        fi
        first=-
        echo "$size $round $program $kind ${shown:-none} $first $(( $(tail -n1 "$work/rss") / 1024 )) $load" |
          tee -a "$work/runs"
      done
    done
  done
  stop_xvfb
done

python3 - "$work/runs" <<'PY'
import statistics, sys
rows = [line.split() for line in open(sys.argv[1])]
for size in dict.fromkeys(r[0] for r in rows):
    for kind in ("jpg", "bmp", "gif"):
        med = {}
        for program in dict.fromkeys(r[2] for r in rows):
            mine = [r for r in rows if r[0] == size and r[2] == program and r[3] == kind and r[4] != "none"]
            if not mine:
                continue
            shown = [int(r[4]) for r in mine]
            rss = [int(r[6]) for r in mine]
            med[program] = statistics.median(shown)
            print(f"{size} {kind} {program}: first frame median {med[program]:.0f} ms ({min(shown)} to {max(shown)}), "
                  f"peak RSS {min(rss)} to {max(rss)} MB")
        for program in med:
            if program != "feh" and "feh" in med:
                print(f"{size} {kind} {program} / feh: {med[program] / med['feh']:.2f}")
        # The peak-memory goals of the show at the two large screens.
        goal = {"3840x2160": 150, "7680x4320": 400}.get(size)
        for program in med:
            mine = [int(r[6]) for r in rows if r[0] == size and r[2] == program and r[3] == kind]
            if goal and program != "feh" and mine:
                print(f"{size} {kind} {program} peak RSS {max(mine)} MB, goal below {goal} MB: "
                      f"{'met' if max(mine) < goal else 'not met'}")
loads = [float(r[7]) for r in rows]
print(f"load average {min(loads):.2f} to {max(loads):.2f}")
PY

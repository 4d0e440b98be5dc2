#!/usr/bin/env bash
# Whole-process figures of the Linux show started on a large folder whose listing is slow (every
# folder entry and stat slowed by the preloaded velmora_slow_storage, no FUSE), on a private
# 1920x1080 Xvfb:
#   - from the start to the first frame on the screen,
#   - from a key pressed while the folder is still listed to the end of the process,
#   - from the start to the first picture on the screen, once the listing is done.
# Usage (after `cmake --build --preset linux`): bench/show/slow_listing.sh [FILES [MS_PER_ENTRY]]
set -euo pipefail
cd "$(dirname "$0")/../.."
source scripts/lib.sh
files="${1:-50000}"
entry_ms="${2:-1}"
velmora=build/linux/platform/linux/velmora
shim=build/linux/tests/e2e_linux/libvelmora_slow_storage.so
[ -x "$velmora" ] && [ -f "$shim" ] || { echo "build the linux preset first"; exit 1; }

work="$(mktemp -d)"
trap 'stop_xvfb; rm -rf "$work"' EXIT
mkdir -p "$work/pictures"
# One real picture that sorts first, and empty files for the rest of the listing.
python3 - "$work/pictures" "$files" <<'PY'
import struct, sys, os
folder, count = sys.argv[1], int(sys.argv[2])
w, h = 640, 480
row = bytes((x * 7) & 255 for x in range(w * 3))
with open(folder + "/a.bmp", "wb") as f:
    f.write(b"BM" + struct.pack("<IHHI", 54 + len(row) * h, 0, 0, 54))
    f.write(struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(row) * h, 2835, 2835, 0, 0))
    f.write(row * h)
for i in range(count - 1):
    open(f"{folder}/p{i:06d}.jpg", "wb").close()
PY
python3 - "$work" <<'PY'
import sys
open(sys.argv[1] + "/velmora.ini", "wb").write(("[Section]\r\n画像のﾌｫﾙﾀﾞ=" + sys.argv[1] + "/pictures\r\n").encode("cp932"))
PY
start_xvfb 1920x1080x24

now_ms() { date +%s%3N; }
# Runs the show, presses a key after $1 seconds; prints the key-to-end time.
run() {
  LD_PRELOAD="$PWD/$shim" VELMORA_SLOW_PREFIX="$work/pictures" VELMORA_SLOW_ENTRY_MS="$entry_ms" \
    VELMORA_FRAME_LOG="$work/frames.log" "$velmora" -s -timing --ini "$work/velmora.ini" 2>"$work/timing.txt" &
  local pid=$! started
  started=$(now_ms)
  sleep "$1"
  xdotool key x
  local pressed
  pressed=$(now_ms)
  while kill -0 "$pid" 2>/dev/null; do sleep 0.005; done
  local ended
  ended=$(now_ms)
  wait "$pid" || true
  echo "key after $1 s: the show ended $((ended - pressed)) ms after the key"
  sed -n 's/^velmora: //p' "$work/timing.txt"
}
echo "$files files, every folder entry and stat slowed by $entry_ms ms"
run 5
# Long enough for the listing to end: when did the picture reach the screen?
run "$(python3 -c "print(int($files * $entry_ms / 1000 * 1.5) + 10)")"
python3 - "$work/frames.log" <<'PY'
import sys
frames = [float(t) for k, t in (line.split() for line in open(sys.argv[1])) if k == "P"]
late = [t for t in frames if t - frames[0] > 400]
print(f"first picture on the screen {late[0] - frames[0]:.0f} ms after the first frame" if late else "no picture came")
PY

#!/usr/bin/env bash
# Whole-process figures of the Linux show on slow storage (reads slowed by the preloaded
# velmora_slow_storage, no FUSE), on a private 1920x1080 Xvfb:
#   - from a key to the end of the process while a 72 MB picture is being read,
#   - the longest gap between frames put on the screen while the tiles turn and the picture
#     is read, and the longest stretch the window's thread spends between event waits.
# Usage (after `cmake --build --preset linux`): bench/show/slow_storage.sh [BYTES_PER_SECOND [KEY_AFTER_S]]
set -euo pipefail
cd "$(dirname "$0")/../.."
source scripts/lib.sh
rate="${1:-3000000}"
key_after="${2:-10}" # seconds; about 13 s into the show the first picture's tiles are done
velmora=build/linux/platform/linux/velmora
shim=build/linux/tests/e2e_linux/libvelmora_slow_storage.so
[ -x "$velmora" ] && [ -f "$shim" ] || { echo "build the linux preset first"; exit 1; }

work="$(mktemp -d)"
trap 'stop_xvfb; rm -rf "$work"' EXIT
mkdir -p "$work/pictures"
# a.bmp (small) is shown first; b.bmp (72 MB, 5000 x 4800 at 24 bits) is read while a turns.
python3 - "$work/pictures" <<'PY'
import struct, sys
def bmp(path, w, h):
    row = bytes((x * 7) & 255 for x in range(w * 3)) + b"\0" * ((4 - w * 3 % 4) % 4)
    size = 54 + len(row) * h
    with open(path, "wb") as f:
        f.write(b"BM" + struct.pack("<IHHI", size, 0, 0, 54))
        f.write(struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(row) * h, 2835, 2835, 0, 0))
        for _ in range(h):
            f.write(row)
bmp(sys.argv[1] + "/a.bmp", 640, 480)
bmp(sys.argv[1] + "/b.bmp", 5000, 4800)
PY
python3 - "$work" <<'PY'
import sys
open(sys.argv[1] + "/velmora.ini", "wb").write(("[Section]\r\n画像のﾌｫﾙﾀﾞ=" + sys.argv[1] + "/pictures\r\n").encode("cp932"))
PY
start_xvfb 1920x1080x24

now_ms() { date +%s%3N; }
LD_PRELOAD="$PWD/$shim" VELMORA_SLOW_PREFIX="$work/pictures" VELMORA_SLOW_RATE="$rate" \
  VELMORA_FRAME_LOG="$work/frames.log" "$velmora" -s --ini "$work/velmora.ini" &
pid=$!
sleep "$key_after" # the 72 MB picture takes 24 s at 3 MB/s; the tiles of the first one turn meanwhile
xdotool key x
pressed=$(now_ms)
while kill -0 "$pid" 2>/dev/null; do sleep 0.005; done
ended=$(now_ms)
wait "$pid" || true
echo "reads at $rate bytes/s"
echo "key to the end of the show: $((ended - pressed)) ms"
python3 - "$work/frames.log" <<'PY'
import sys
marks = [(k, float(t)) for k, t in (line.split() for line in open(sys.argv[1]))]
frames = [t for k, t in marks if k == "P"]
start = frames[0] + 1000  # from 1 s after the first frame
gaps = [b - a for a, b in zip(frames, frames[1:]) if a >= start]
print(f"longest gap between presented frames: {max(gaps):.0f} ms ({len(gaps)} frames)")
# Frames stop by design in the pauses between pictures; what input waits for is the time the
# window's thread spends between returning from its event wait and entering it again.
waits = [(k, t) for k, t in marks if k in "EW"]
busy = [b[1] - a[1] for a, b in zip(waits, waits[1:]) if a[0] == "E" and b[0] == "W" and a[1] >= start]
print(f"longest stretch between event waits: {max(busy):.0f} ms ({len(busy)} waits)")
PY

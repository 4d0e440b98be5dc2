#!/usr/bin/env bash
# The first frame of a 12-megapixel HEIC beside a JPEG of the same picture (4032 x 3024, the
# size phones take): made once in the temporary folder from one ImageMagick plasma, the JPEG
# at quality 90 (4:2:0), the HEIC by heif-enc at its default quality; then first_frame_pair.sh.
# Usage (after `cmake --build --preset linux`): bench/show/heic_first_frame.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/../.."
photos="${TMPDIR:-/tmp}/velmora-bench-heic"
mkdir -p "$photos"
if [ ! -f "$photos/photo.heic" ]; then
  convert -seed 7 -size 4032x3024 plasma:fractal -blur 0x1 "$photos/photo.png"
  convert "$photos/photo.png" -quality 90 -sampling-factor 2x2 "$photos/photo.jpg"
  heif-enc "$photos/photo.png" -o "$photos/photo.heic" >/dev/null
  rm "$photos/photo.png"
fi
ls -l "$photos/photo.jpg" "$photos/photo.heic"
bench/show/first_frame_pair.sh "$photos/photo.jpg" "$photos/photo.heic" "${1:-7}"

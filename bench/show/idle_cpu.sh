#!/usr/bin/env bash
# The idle-CPU goal in one command: the Linux show's CPU (velmora plus the X server) over
# SECONDS in each mode, as a share of one core and as a multiple of the yardstick: the
# screen-saver daemon's sliding-picture hack, measured at 0.25 % of one core (goal: at most 2x).
# Usage (after `cmake --build --preset linux`): bench/show/idle_cpu.sh [SECONDS=30 [MODE...]]
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds="${1:-30}"
modes=("${@:2}")
[ ${#modes[@]} -gt 0 ] || modes=(root window)
for mode in "${modes[@]}"; do
  line=$(scripts/measure-show-cpu build/linux/platform/linux/velmora "$mode" "$seconds" | head -n1)
  echo "$line"
  echo "$line" | awk -v s="$seconds" -v load="$(cut -d' ' -f1 /proc/loadavg)" '{
    share = ($2 + $4) / s * 100
    printf "  together %.2f %% of a core, %.1fx the 0.25 %% yardstick (velmora alone %.1fx), load %s\n",
      share, share / 0.25, $2 / s * 100 / 0.25, load }'
done

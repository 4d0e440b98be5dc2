#!/usr/bin/env bash
# The idle-CPU goal in one command, against its yardstick: the running show under a real
# XScreenSaver daemon beside the daemon's own sliding-picture hack (slidescreen) in the same
# daemon on the same screen. For each SIZE a private Xvfb; in each round every program in turn
# is the daemon's one hack (`-root`, the sample pictures for velmora); from 5 s after it
# started (the first picture shown), user + system time of its process and of the Xvfb over
# SECONDS. Prints a line per run with the load average, then per size the medians, each
# program's share of a core and its multiple of slidescreen's (goals: at most 2x, and below
# 1.5 % of a core at 3840 x 2160).
# Needs root: the daemon runs hacks only for an ordinary user, which is made here.
# Usage (after `cmake --build --preset linux`):
#   [VELMORA="OLD NEW"] bench/show/idle_cpu_daemon.sh [SECONDS=60 [ROUNDS=1 [SIZE...]]]
#   SIZE as 3840x2160 (default: 1280x720 1920x1080 3840x2160)
set -euo pipefail
cd "$(dirname "$0")/../.."
source scripts/lib.sh
seconds="${1:-60}"
rounds="${2:-1}"
sizes=("${@:3}")
[ ${#sizes[@]} -gt 0 ] || sizes=(1280x720 1920x1080 3840x2160)
read -r -a shows <<<"${VELMORA:-build/linux/platform/linux/velmora}"
slidescreen=/usr/libexec/xscreensaver/slidescreen
[ "$(id -u)" -eq 0 ] || { echo "run as root (the daemon's user is made here)"; exit 1; }
command -v xscreensaver >/dev/null && [ -x "$slidescreen" ] ||
  apt-get install -y -q xscreensaver xscreensaver-data >/dev/null
user=velmora-e2e
id -u "$user" >/dev/null 2>&1 || useradd --system --no-create-home --shell /usr/sbin/nologin "$user"
home="$(mktemp -d)"
chmod 755 "$home"
chown "$user" "$home"
daemon_pid=""

source tests/e2e_linux/daemon_lib.sh
trap 'stop_daemon; stop_xvfb; rm -rf "$home"' EXIT

hack_pid() { pgrep -u "$user" -x "$1" | head -n1; }
ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }

# One run of PROGRAM as the daemon's hack: prints "SIZE PROGRAM hack_s xvfb_s load".
run_hack() {
  local program="$1" size="$2" name pid h0 x0 h1 x1 load
  name=$(basename "$program" | cut -c1-15)
  stop_daemon
  printf 'mode:\t\tone\nselected:\t0\ntimeout:\t0:30:00\nlock:\t\tFalse\nfade:\t\tFalse\nunfade:\t\tFalse\nsplash:\t\tFalse\nprograms:\t\\\n\t\t%s -root \\n\\\n\n' \
    "$program" >"$home/.xscreensaver"
  chown "$user" "$home/.xscreensaver"
  as_user xscreensaver -no-splash >"$home/daemon.log" 2>&1 &
  daemon_pid=$!
  eventually 20 as_user xscreensaver-command -time >/dev/null 2>&1 || { echo "the daemon does not answer"; return 1; }
  as_user xscreensaver-command -activate >/dev/null
  eventually 30 hack_pid "$name" >/dev/null || { echo "$name did not start"; return 1; }
  pid=$(hack_pid "$name")
  sleep 5
  load=$(cut -d' ' -f1 /proc/loadavg)
  h0=$(ticks "$pid")
  x0=$(ticks "$XVFB_PID")
  sleep "$seconds"
  h1=$(ticks "$pid")
  x1=$(ticks "$XVFB_PID")
  as_user xscreensaver-command -deactivate >/dev/null
  stop_daemon
  awk -v h=$((h1 - h0)) -v x=$((x1 - x0)) -v hz="$(getconf CLK_TCK)" -v size="$size" -v p="$program" -v load="$load" \
    'BEGIN { printf "%s %s %.2f %.2f %s\n", size, p, h / hz, x / hz, load }'
}

: >"$home/runs"
for size in "${sizes[@]}"; do
  start_xvfb "${size}x24"
  for round in $(seq 1 "$rounds"); do
    for program in "${shows[@]}" "$slidescreen"; do
      run_hack "$(readlink -f "$program")" "$size" | tee -a "$home/runs"
    done
  done
  stop_xvfb
done

python3 - "$home/runs" "$seconds" <<'PY'
import statistics, sys
rows = [l.split() for l in open(sys.argv[1]) if len(l.split()) == 5]
seconds = float(sys.argv[2])
for size in dict.fromkeys(r[0] for r in rows):
    med = {}
    for program in dict.fromkeys(r[1] for r in rows):
        mine = [r for r in rows if r[0] == size and r[1] == program]
        hack = statistics.median(float(r[2]) for r in mine)
        xvfb = statistics.median(float(r[3]) for r in mine)
        med[program] = (hack, xvfb)
        print(f"{size} {program}: {hack:.2f} s in {seconds:.0f} s, {100 * hack / seconds:.2f} % of a core "
              f"(Xvfb {xvfb:.2f} s; together {100 * (hack + xvfb) / seconds:.2f} %)")
    slide = [p for p in med if p.endswith("slidescreen")]
    for program in med:
        if slide and program != slide[0] and med[slide[0]][0] > 0:
            s = med[slide[0]]
            print(f"{size} {program} / slidescreen: {med[program][0] / s[0]:.2f}x alone, "
                  f"{(med[program][0] + med[program][1]) / (s[0] + s[1]):.2f}x with the X server")
loads = [float(r[4]) for r in rows]
print(f"load average {min(loads):.2f} to {max(loads):.2f}")
PY

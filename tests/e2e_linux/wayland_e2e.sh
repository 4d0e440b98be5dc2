#!/usr/bin/env bash
# velmora as a native Wayland client under a headless sway with two outputs, as an ordinary
# user the test makes (sway refuses root). Checks: the show draws its picture on both outputs
# (grim per output, polled) with DISPLAY unset and set; a second show refuses to start beside
# it; a key typed with wtype ends it with exit code 0 and leaves no velmora running; with
# --monitors primary the second output is covered in black, and SIGTERM ends the show as a
# key does; an output added while the show runs gets a show, and one taken away ends nothing.
# (No pointer test: the headless compositor's seat has no pointer, and Debian has no tool to
# make a virtual one.)
# Usage: wayland_e2e.sh VELMORA [CPU_SECONDS [SIZE]]
#   With a second argument, instead measures: the show of the sample pictures on one output
#   of SIZE (1920x1080 unless given), CPU seconds of velmora and of sway over that many
#   seconds from 5 s after the start (as scripts/measure-show-cpu does on X; a measurement,
#   never asserted).
# Exit 77 (skipped) without sway, grim or wtype, or when not run as root.
set -euo pipefail

velmora=$(readlink -f "$1")
measure_seconds="${2:-0}"
measure_size="${3:-1920x1080}"
user="${VELMORA_WL_USER:-velmora-wl-e2e}" # another name keeps parallel runs apart
for tool in sway grim wtype convert; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
[ "$(id -u)" -eq 0 ] || { echo "SKIP: making the test's own user needs root"; exit 77; }

work=$(mktemp -d /tmp/velmora-wl-XXXXXX)
sway_pid="" keyboard_pid="" show_pid=""
cleanup() {
  local pid
  for pid in $show_pid $keyboard_pid $sway_pid; do kill "$pid" 2>/dev/null || true; done
  for pid in $show_pid $keyboard_pid $sway_pid; do wait "$pid" 2>/dev/null || true; done
  # Whatever is left, by id: only this test's user runs anything here.
  for pid in $(pgrep -u "$user" || true); do kill -9 "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  ps -u "$user" -o pid,stat,etime,args 2>/dev/null || true
  tail -n 20 "$work/show.log" "$work/sway.log" 2>/dev/null || true
  exit 1
}
eventually() { # CAP COMMAND...: polls every 0.1 s for at most CAP seconds
  local end=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -lt "$end" ] || return 1
    sleep 0.1
  done
}

id -u "$user" >/dev/null 2>&1 || useradd --system --no-create-home --shell /usr/sbin/nologin "$user"
chmod 755 "$work"
mkdir -m 700 "$work/run"
mkdir "$work/red"
convert -size 64x48 xc:'#ff0000' "$work/red/red.bmp"
# Side by side, of different sizes (one scaled), so each output's show is laid out on its own.
printf 'output * bg #000000 solid_color\noutput HEADLESS-1 resolution 1280x720 position 0 0\noutput HEADLESS-2 resolution 1024x768 position 1280 0 scale 2\noutput HEADLESS-3 resolution 800x600 position 2304 0\n' >"$work/sway.conf"
[ "$measure_seconds" -eq 0 ] || printf 'output * bg #000000 solid_color\noutput * resolution %s\n' "$measure_size" >"$work/sway.conf"
printf '[Section]\r\n' >"$work/empty.ini" # no folder: the sample pictures
chown -R "$user" "$work"

as_user() {
  runuser -u "$user" -- env -i HOME="$work" XDG_RUNTIME_DIR="$work/run" PATH=/usr/bin:/bin \
    WAYLAND_DISPLAY="${wayland:-}" "$@"
}
outputs=2
[ "$measure_seconds" -eq 0 ] || outputs=1
(cd "$work" && as_user WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
  WLR_HEADLESS_OUTPUTS=$outputs sway -c "$work/sway.conf") >"$work/sway.log" 2>&1 &
sway_pid=$!
socket_made() { wayland=$(cd "$work/run" && ls wayland-? 2>/dev/null | head -n1) && [ -n "$wayland" ]; }
eventually 20 socket_made || fail "sway made no Wayland socket"

colour_share() { # OUTPUT R G B: the share of pixels near that colour in the output's screenshot, in percent
  as_user grim -o "$1" -t ppm - 2>/dev/null | python3 -c '
import sys
want = [int(v) for v in sys.argv[1:4]]
data = sys.stdin.buffer.read()
header = data.split(b"\n", 3)
w, h = map(int, header[1].split())
pixels = header[3]
samples = range(0, w * h * 3, 3 * 97)
near = sum(1 for i in samples if all(abs(pixels[i + c] - want[c]) < 60 for c in range(3)))
print(near * 100 // len(samples))' "$2" "$3" "$4"
}
mostly_red() { [ "$(colour_share "$1" 255 0 0)" -ge 60 ]; }
all_black() { [ "$(colour_share "$1" 0 0 0)" -ge 100 ]; }
both_red() { mostly_red HEADLESS-1 && mostly_red HEADLESS-2; }
swaymsg_() { as_user SWAYSOCK="$(ls "$work"/run/sway-ipc.*.sock)" swaymsg "$@"; }
seat_has_keyboard() {
  swaymsg_ -t get_seats 2>/dev/null | grep -q '"capabilities": [1-9]'
}
show_running() { pgrep -u "$user" -x velmora >/dev/null; }
show_ended() { ! kill -0 "$show_pid" 2>/dev/null; }

start_keyboard() {
  # The headless compositor has no keyboard until a virtual one is made, and forgets it when
  # that one goes: keep one with its keymap, as a real seat has, before the window opens. (The
  # SDL of Debian 12 crashes when a seat sends modifiers with no keymap at all.)
  [ -z "$keyboard_pid" ] || { kill "$keyboard_pid"; wait "$keyboard_pid" 2>/dev/null || true; }
  as_user wtype -s 600000 x &
  keyboard_pid=$!
  eventually 10 seat_has_keyboard || fail "the compositor's seat never got the virtual keyboard"
}

now_ms() { date +%s%3N; }
# Ends the show with a key and checks it went: exit code 0, nothing left running.
end_with_key() {
  local typed rc=0
  typed=$(now_ms)
  as_user wtype x
  eventually 30 show_ended || fail "the show still runs 30 s after the key ($1)"
  local took=$(($(now_ms) - typed))
  wait "$show_pid" || rc=$?
  show_pid=""
  [ "$rc" -eq 0 ] || fail "the show ended with exit code $rc after the key ($1)"
  ! show_running || fail "a velmora process is left running ($1)"
  echo "ok: a key ended the show with exit code 0 in $took ms, nothing left running ($1)"
}

# $1: DISPLAY for the show (empty: unset). A compositor's X server must not be used even when named.
run_show() {
  start_keyboard
  (cd "$work" && as_user ${1:+DISPLAY=$1} "$velmora" --folder "$work/red" --size screen) >"$work/show.log" 2>&1 &
  show_pid=$!
  eventually 30 both_red || { show_ended && fail "the show ended before drawing"; fail "the show never covered both outputs with its picture"; }
  echo "ok: the show draws on both Wayland outputs${1:+ (DISPLAY=$1 set)}"
  local rc=0
  (cd "$work" && as_user ${1:+DISPLAY=$1} "$velmora" --folder "$work/red") >"$work/second.log" 2>&1 || rc=$?
  [ "$rc" -eq 2 ] || fail "a second show started beside the first (exit code $rc)"
  end_with_key "${1:+DISPLAY=$1}"
}

# --monitors primary: the show on one output, black on the other.
run_primary_only() {
  start_keyboard
  (cd "$work" && as_user "$velmora" --folder "$work/red" --size screen --monitors primary) >"$work/show.log" 2>&1 &
  show_pid=$!
  one_red() { { mostly_red HEADLESS-1 && all_black HEADLESS-2; } || { mostly_red HEADLESS-2 && all_black HEADLESS-1; }; }
  eventually 30 one_red || fail "with --monitors primary one output is not red and the other black"
  echo "ok: with --monitors primary one output shows the show and the other is black"
  # Told to end (as a session manager or swayidle's resume command does): as by a key.
  kill -TERM "$(pgrep -u "$user" -x velmora)"
  eventually 30 show_ended || fail "the show still runs 30 s after SIGTERM"
  local rc=0
  wait "$show_pid" || rc=$?
  show_pid=""
  [ "$rc" -eq 0 ] || fail "the show ended with exit code $rc after SIGTERM"
  echo "ok: SIGTERM ends the show with exit code 0"
}

run_outputs_changing() {
  start_keyboard
  (cd "$work" && as_user "$velmora" --folder "$work/red" --size screen) >"$work/show.log" 2>&1 &
  show_pid=$!
  eventually 30 both_red || fail "the show never covered both outputs"
  swaymsg_ create_output >/dev/null
  eventually 30 mostly_red HEADLESS-3 || fail "an output added while the show runs got no show"
  echo "ok: an output added while the show runs gets a show"
  swaymsg_ output HEADLESS-3 disable >/dev/null
  swaymsg_ output HEADLESS-2 disable >/dev/null
  sleep 1 # whatever the show does about it, it has had the time to do it
  ! show_ended || fail "the show ended when outputs were taken away"
  swaymsg_ output HEADLESS-2 enable >/dev/null
  eventually 30 mostly_red HEADLESS-2 || fail "an output taken away and given back got no show again"
  echo "ok: outputs taken away end nothing, and one given back shows the show again"
  end_with_key "outputs changed"
}

ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
wakes() { awk '/^voluntary_ctxt_switches/ { print $2 }' "/proc/$1/status"; }
if [ "$measure_seconds" -gt 0 ]; then
  start_keyboard
  (cd "$work" && as_user "$velmora" -s --ini "$work/empty.ini") >"$work/show.log" 2>&1 &
  show_pid=$!
  eventually 30 show_running || fail "the show did not start"
  sleep 5 # start-up left out, as on X
  pid=$(pgrep -u "$user" -x velmora)
  compositor=$(pgrep -u "$user" -x sway)
  v0=$(ticks "$pid") c0=$(ticks "$compositor") w0=$(wakes "$pid") cw0=$(wakes "$compositor")
  sleep "$measure_seconds"
  v1=$(ticks "$pid") c1=$(ticks "$compositor") w1=$(wakes "$pid") cw1=$(wakes "$compositor")
  awk -v a="$((v1 - v0))" -v b="$((c1 - c0))" -v hz="$(getconf CLK_TCK)" -v s="$measure_seconds" \
    -v sw="$((w1 - w0))" -v cw="$((cw1 - cw0))" \
    'BEGIN { printf "velmora %.2f sway %.2f (wayland, %d s), wake-ups velmora %d sway %d\n", a / hz, b / hz, s, sw, cw }'
  exit 0
fi
run_show ""
run_show ":99"
run_primary_only
run_outputs_changing

#!/usr/bin/env bash
# velmora as a native Wayland client under a headless sway with two outputs, as an ordinary
# user the test makes (sway refuses root). Checks: the show draws its picture on both outputs
# (grim per output, polled) with DISPLAY unset and set; a second show refuses to start beside
# it; a key typed with wtype ends it with exit code 0 and leaves no velmora running; with
# --monitors primary the second output is covered in black, and SIGTERM ends the show as a
# key does; an output added while the show runs gets a show, and one taken away ends nothing;
# a click ends it, and moves end it only in mode "S" and only when diagonal.
# Usage: wayland_e2e.sh VELMORA [CPU_SECONDS [idle | SIZE] | idle INHIBITOR]
#   With "idle": velmora --idle starts the show after 3 s without input and again after the
#   next idle period, and not while INHIBITOR (a window holding an idle inhibitor) runs.
#   With a second argument, instead measures: the show of the sample pictures on one output of
#   SIZE (1920x1080 unless given), CPU seconds of velmora and of sway over that many seconds
#   from 5 s after the start (as scripts/measure-show-cpu does on X; a measurement, never
#   asserted). With "idle" after it, the same for the idle watcher (velmora --idle 5) with
#   nobody typing, and its memory.
# Exit 77 (skipped) without sway, grim, wtype or convert, or when not run as root.
set -euo pipefail

velmora=$(readlink -f "$1")
measure_seconds=0 inhibitor=""
if [ "${2:-}" = idle ]; then
  inhibitor=$(readlink -f "$3")
else
  measure_seconds="${2:-0}"
fi
measure_size=1920x1080
[[ "${3:-}" != *x* ]] || measure_size=$3
e2e_on_wayland=1
wl_user="${VELMORA_WL_USER:-velmora-wl-e2e}" # another name keeps parallel runs apart
. "$(dirname "$0")/../e2e_lib.sh"
command -v convert >/dev/null || { echo "SKIP: convert is not installed"; exit 77; }
. "$(dirname "$0")/wayland_lib.sh"

mkdir "$work/red"
convert -size 64x48 xc:'#ff0000' "$work/red/red.bmp"
printf '[Section]\r\n' >"$work/empty.ini" # no folder: the sample pictures
if [ "$measure_seconds" -eq 0 ]; then
  # Side by side, of different sizes (one scaled), so each output's show is laid out on its own.
  start_compositor 2 'output HEADLESS-1 resolution 1280x720 position 0 0' \
    'output HEADLESS-2 resolution 1024x768 position 1280 0 scale 2' 'output HEADLESS-3 resolution 800x600 position 2304 0'
else
  start_compositor 1 "output * resolution $measure_size"
fi

colour_share() { # OUTPUT R G B: the share of pixels near that colour in the output's screenshot, in percent
  as_user grim ${1:+-o "$1"} -t ppm - 2>/dev/null | python3 -c '
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
mostly_red() { [ "$(colour_share "${1:-}" 255 0 0)" -ge 60 ]; } # no output: all of them
all_black() { [ "$(colour_share "$1" 0 0 0)" -ge 100 ]; }
both_red() { mostly_red HEADLESS-1 && mostly_red HEADLESS-2; }
show_running() { pgrep -u "$wl_user" -x velmora >/dev/null; }
not_running() { ! show_running; }

# The show of the red picture on every output, as the user ($app_pid); the arguments go before
# the program (environment) and after it.
start_show() {
  local environment=()
  while [[ "${1:-}" == *=* ]]; do environment+=("$1") && shift; done
  start_keyboard
  start_app "${environment[@]}" "$velmora" --folder "$work/red" --size screen "$@"
}
# The show ended after WHAT with exit code 0 and left nothing running.
expect_show_gone() {
  expect_exit "$1"
  ! show_running || fail "a velmora process is left running after $1"
}
now_ms() { date +%s%3N; }
end_with_key() { # WHAT: the key, and how the show was started
  local typed
  typed=$(now_ms)
  as_user wtype x
  expect_show_gone "$1"
  echo "ok: in $(($(now_ms) - typed)) ms, nothing left running"
}

# $1: DISPLAY for the show (empty: unset). A compositor's X server must not be used even when named.
run_show() {
  start_show ${1:+DISPLAY=$1}
  eventually 30 both_red || { app_ended && fail "the show ended before drawing"; fail "the show never covered both outputs with its picture"; }
  echo "ok: the show draws on both Wayland outputs${1:+ (DISPLAY=$1 set)}"
  local rc=0
  (cd "$work" && as_user ${1:+DISPLAY=$1} "$velmora" --folder "$work/red") >"$work/second.log" 2>&1 || rc=$?
  [ "$rc" -eq 2 ] || fail "a second show started beside the first (exit code $rc)"
  end_with_key "a key${1:+ (DISPLAY=$1 set)}"
}

# --monitors primary: the show on one output, black on the other.
run_primary_only() {
  start_show --monitors primary
  one_red() { { mostly_red HEADLESS-1 && all_black HEADLESS-2; } || { mostly_red HEADLESS-2 && all_black HEADLESS-1; }; }
  eventually 30 one_red || fail "with --monitors primary one output is not red and the other black"
  echo "ok: with --monitors primary one output shows the show and the other is black"
  # Told to end (as a session manager or swayidle's resume command does): as by a key.
  kill -TERM "$(pgrep -u "$wl_user" -x velmora)"
  expect_show_gone "SIGTERM"
}

run_outputs_changing() {
  start_show
  eventually 30 both_red || fail "the show never covered both outputs"
  as_user swaymsg create_output >/dev/null
  eventually 30 mostly_red HEADLESS-3 || fail "an output added while the show runs got no show"
  echo "ok: an output added while the show runs gets a show"
  as_user swaymsg output HEADLESS-3 disable >/dev/null
  as_user swaymsg output HEADLESS-2 disable >/dev/null
  sleep 1 # whatever the show does about it, it has had the time to do it
  ! app_ended || fail "the show ended when outputs were taken away"
  as_user swaymsg output HEADLESS-2 enable >/dev/null
  eventually 30 mostly_red HEADLESS-2 || fail "an output taken away and given back got no show again"
  echo "ok: outputs taken away end nothing, and one given back shows the show again"
  end_with_key "a key after outputs changed"
}

# The pointer, moved and pressed by the compositor's cursor commands. Started without a mode the
# show ignores moves, even diagonal ones across both outputs, and a click on the second output
# ends it. In mode "S" moves straight from where the pointer came onto the show, across both
# outputs, keep it, and a diagonal move of one pixel ends it.
run_pointer() {
  pointer_away
  start_show
  eventually 30 both_red || fail "the show never covered both outputs"
  move_through "100 100" "700 500" "1500 200" "1300 300"
  expect_running "diagonal moves without a mode"
  cursor press button1
  cursor release button1
  expect_show_gone "a click on the second output"

  cursor set 200 300
  start_show -s
  eventually 30 both_red || fail "the show never covered both outputs"
  move_through "260 300" "1000 300" "1400 300" "1700 300" "600 300"
  expect_running "moves straight across both outputs in mode \"S\""
  move_through "601 301"
  expect_show_gone "a diagonal move of one pixel"
}

ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
wakes() { awk '/^voluntary_ctxt_switches/ { print $2 }' "/proc/$1/status"; }
if [ "$measure_seconds" -gt 0 ]; then
  measured=(-s --ini "$work/empty.ini") what=wayland
  [ "${3:-}" != idle ] || measured=(--idle 5) what="wayland, velmora --idle 5"
  start_keyboard
  start_app "$velmora" "${measured[@]}"
  eventually 30 show_running || fail "the show did not start"
  sleep 5 # start-up left out, as on X
  pid=$(pgrep -u "$wl_user" -x velmora)
  compositor=$(pgrep -u "$wl_user" -x sway)
  v0=$(ticks "$pid") c0=$(ticks "$compositor") w0=$(wakes "$pid") cw0=$(wakes "$compositor")
  sleep "$measure_seconds"
  v1=$(ticks "$pid") c1=$(ticks "$compositor") w1=$(wakes "$pid") cw1=$(wakes "$compositor")
  awk -v a="$((v1 - v0))" -v b="$((c1 - c0))" -v hz="$(getconf CLK_TCK)" -v s="$measure_seconds" \
    -v sw="$((w1 - w0))" -v cw="$((cw1 - cw0))" -v what="$what" \
    'BEGIN { printf "velmora %.2f sway %.2f (%s, %d s), wake-ups velmora %d sway %d\n", a / hz, b / hz, what, s, sw, cw }'
  awk '/^(VmRSS|VmHWM|RssAnon)/ { printf "velmora %s %s %s\n", $1, $2, $3 }' "/proc/$pid/status"
  exit 0
fi

# The watcher's show: a velmora whose parent is the watcher (itself under runuser).
watcher_found() { watcher=$(pgrep -u "$wl_user" -f -- "velmora --idle") && [ -n "$watcher" ]; }
watched_show() { shown=$(pgrep -u "$wl_user" -x -P "$watcher" velmora) && [ -n "$shown" ]; }
ended() { ! kill -0 "$1" 2>/dev/null; }
end_watched_show() { # with a key, as a user would (at $typed, in ns); the watcher must stay
  local ending=$shown
  eventually 30 mostly_red || fail "the watcher's show never drew"
  typed=$(date +%s%N)
  as_user wtype x
  start_keyboard # the key's own keyboard went with wtype: the next show needs one with a keymap
  eventually 30 ended "$ending" || fail "the show still runs 30 s after the key"
  kill -0 "$watcher" 2>/dev/null || fail "the watcher ended with the show"
}
if [ -n "$inhibitor" ]; then
  start_keyboard
  start_app "$velmora" --idle 0.05 --folder "$work/red" --size screen
  eventually 30 watcher_found || fail "the watcher did not start"
  expect_idle_show_again "the compositor's idle report" "org_kde_kwin_idle\|ext-idle-notify"
  end_watched_show
  no_watched_show() { ! watched_show; }
  eventually 30 no_watched_show || fail "a show started right after the second one ended"

  (cd "$work" && as_user "$inhibitor") >"$work/inhibitor.log" 2>&1 &
  inhibitor_pid=$!
  inhibiting() { grep -qs inhibiting "$work/inhibitor.log"; }
  eventually 30 inhibiting || fail "the test's inhibitor did not start: $(cat "$work/inhibitor.log")"
  # A slow start may let one more idle period end first; that show hides the inhibitor's window
  # (the compositor honours only visible ones), so it is ended before the count begins.
  if watched_show; then end_watched_show; fi
  held_since=$SECONDS
  # Three idle times with an application holding the screen saver off: nothing may start.
  while [ $((SECONDS - held_since)) -lt 9 ]; do
    ! watched_show || fail "the show started while an idle inhibitor was held"
    sleep 0.2
  done
  kill "$(pgrep -u "$wl_user" -f -- "$inhibitor")" # itself, not the runuser above it
  wait "$inhibitor_pid" 2>/dev/null || true
  eventually 30 watched_show || fail "no show after the inhibitor went away"
  echo "ok: no show for 9 s while an idle inhibitor was held, one after it went"

  kill "$watcher"
  expect_exit "SIGTERM to the watcher"
  eventually 30 not_running || fail "a velmora process is left running after the watcher ended"
  echo "ok: the watcher took its show along"
  exit 0
fi

run_show ""
run_show ":99"
run_primary_only
run_outputs_changing
run_pointer

#!/usr/bin/env bash
# velmora as a native Wayland client under a headless sway, as an ordinary user the test makes
# (sway refuses root). Checks: the show draws its picture (grim, polled) with DISPLAY unset and
# set; a second show refuses to start beside it; a key typed with wtype ends it with exit code 0 and leaves no velmora running.
# Usage: wayland_e2e.sh VELMORA [CPU_SECONDS [idle] | idle INHIBITOR]
#   With "idle": velmora --idle starts the show after 3 s without input and again after the
#   next idle period, and not while INHIBITOR (a window holding an idle inhibitor) runs.
#   With a second argument, instead measures: the show of the sample pictures on a 1920 x 1080
#   output, CPU seconds of velmora and of sway over that many seconds from 5 s after the start
#   (as scripts/measure-show-cpu does on X; a measurement, never asserted). With "idle" after
#   it, the same for the idle watcher (velmora --idle 5) with nobody typing, and its memory.
# Exit 77 (skipped) without sway, grim or wtype, or when not run as root.
set -euo pipefail

velmora=$(readlink -f "$1")
measure_seconds=0 inhibitor=""
if [ "${2:-}" = idle ]; then
  inhibitor=$(readlink -f "$3")
else
  measure_seconds="${2:-0}"
fi
user=velmora-wl-e2e
for tool in sway grim wtype convert; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
[ "$(id -u)" -eq 0 ] || { echo "SKIP: making the test's own user needs root"; exit 77; }

work=$(mktemp -d /tmp/velmora-wl-XXXXXX)
sway_pid="" keyboard_pid="" show_pid="" watcher_pid="" inhibitor_pid=""
cleanup() {
  local pid
  for pid in $watcher_pid $inhibitor_pid $show_pid $keyboard_pid $sway_pid; do kill "$pid" 2>/dev/null || true; done
  for pid in $watcher_pid $inhibitor_pid $show_pid $keyboard_pid $sway_pid; do wait "$pid" 2>/dev/null || true; done
  # Whatever is left, by id: only this test's user runs anything here.
  for pid in $(pgrep -u "$user" || true); do kill -9 "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  tail -n 20 "$work/show.log" "$work/watcher.log" "$work/sway.log" 2>/dev/null || true
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
printf 'output * bg #000000 solid_color\noutput * resolution 1920x1080\n' >"$work/sway.conf"
printf '[Section]\r\n' >"$work/empty.ini" # no folder: the sample pictures
chown -R "$user" "$work"

as_user() {
  runuser -u "$user" -- env -i HOME="$work" XDG_RUNTIME_DIR="$work/run" PATH=/usr/bin:/bin \
    WAYLAND_DISPLAY="${wayland:-}" "$@"
}
(cd "$work" && WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman WLR_HEADLESS_OUTPUTS=1 \
  as_user WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman WLR_HEADLESS_OUTPUTS=1 \
  sway -c "$work/sway.conf") >"$work/sway.log" 2>&1 &
sway_pid=$!
socket_made() { wayland=$(cd "$work/run" && ls wayland-? 2>/dev/null | head -n1) && [ -n "$wayland" ]; }
eventually 20 socket_made || fail "sway made no Wayland socket"

red_share() { # the share of pure red in a screenshot, in percent
  as_user grim -t ppm - 2>/dev/null | python3 -c '
import sys
data = sys.stdin.buffer.read()
header = data.split(b"\n", 3)
w, h = map(int, header[1].split())
pixels = header[3]
red = sum(1 for i in range(0, w * h * 3, 3 * 97) if pixels[i] > 200 and pixels[i + 1] < 60 and pixels[i + 2] < 60)
print(red * 100 // len(range(0, w * h * 3, 3 * 97)))'
}
mostly_red() { [ "$(red_share)" -ge 60 ]; }
seat_has_keyboard() {
  as_user SWAYSOCK="$(ls "$work"/run/sway-ipc.*.sock)" swaymsg -t get_seats 2>/dev/null | grep -q '"capabilities": [1-9]'
}
show_running() { pgrep -u "$user" -x velmora >/dev/null; }
not_running() { ! show_running; }
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

# $1: DISPLAY for the show (empty: unset). A compositor's X server must not be used even when named.
run_show() {
  start_keyboard
  (cd "$work" && as_user ${1:+DISPLAY=$1} "$velmora" --folder "$work/red" --size screen) >"$work/show.log" 2>&1 &
  show_pid=$!
  eventually 30 mostly_red || { show_ended && fail "the show ended before drawing"; fail "the show never covered the output with its picture"; }
  echo "ok: the show draws on the Wayland output${1:+ (DISPLAY=$1 set)}"
  local rc=0
  (cd "$work" && as_user ${1:+DISPLAY=$1} "$velmora" --folder "$work/red") >"$work/second.log" 2>&1 || rc=$?
  [ "$rc" -eq 2 ] || fail "a second show started beside the first (exit code $rc)"
  local typed=$SECONDS
  as_user wtype x
  eventually 30 show_ended || fail "the show still runs 30 s after the key"
  rc=0
  wait "$show_pid" || rc=$?
  show_pid=""
  [ "$rc" -eq 0 ] || fail "the show ended with exit code $rc after the key"
  ! show_running || fail "a velmora process is left running"
  echo "ok: a key ended the show with exit code 0 within $((SECONDS - typed)) s, nothing left running"
}

ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
wakes() { awk '/^voluntary_ctxt_switches/ { print $2 }' "/proc/$1/status"; }
if [ "$measure_seconds" -gt 0 ]; then
  measured=(-s --ini "$work/empty.ini") what=wayland
  [ "${3:-}" != idle ] || measured=(--idle 5) what="wayland, velmora --idle 5"
  start_keyboard
  (cd "$work" && as_user "$velmora" "${measured[@]}") >"$work/show.log" 2>&1 &
  show_pid=$!
  eventually 30 show_running || fail "the show did not start"
  sleep 5 # start-up left out, as on X
  pid=$(pgrep -u "$user" -x velmora)
  compositor=$(pgrep -u "$user" -x sway)
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
watcher_found() { watcher=$(pgrep -u "$user" -f -- "velmora --idle") && [ -n "$watcher" ]; }
watched_show() { shown=$(pgrep -u "$user" -x -P "$watcher" velmora) && [ -n "$shown" ]; }
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
  (cd "$work" && as_user "$velmora" --idle 0.05 --folder "$work/red" --size screen) >"$work/watcher.log" 2>&1 &
  watcher_pid=$!
  eventually 30 watcher_found || fail "the watcher did not start"
  eventually 30 watched_show || fail "the watcher started no show"
  first=$shown
  grep -q "org_kde_kwin_idle\|ext-idle-notify" "$work/watcher.log" || fail "the watcher does not use the compositor's idle report"
  echo "ok: velmora --idle 0.05 started the show after the idle time"
  end_watched_show
  second_show() { watched_show && [ "$shown" != "$first" ]; }
  eventually 30 second_show || fail "no second show after the next idle period"
  waited_ms=$((($(date +%s%N) - typed) / 1000000))
  # A lower bound only: the show must not come back while the user may still be there.
  [ "$waited_ms" -ge 2500 ] || fail "the show came back $waited_ms ms after the key, before the idle time"
  echo "ok: a key ended the show, the watcher stayed, and started it again after $waited_ms ms idle"
  end_watched_show
  no_watched_show() { ! watched_show; }
  eventually 30 no_watched_show || fail "a show started right after the second one ended"

  (cd "$work" && as_user "$inhibitor") >"$work/inhibitor.log" 2>&1 &
  inhibitor_pid=$!
  inhibiting() { grep -q inhibiting "$work/inhibitor.log"; }
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
  kill "$(pgrep -u "$user" -f -- "$inhibitor")" # itself, not the runuser above it
  wait "$inhibitor_pid" 2>/dev/null || true
  inhibitor_pid=""
  eventually 30 watched_show || fail "no show after the inhibitor went away"
  echo "ok: no show for 9 s while an idle inhibitor was held, one after it went"

  kill "$watcher"
  rc=0
  wait "$watcher_pid" || rc=$?
  watcher_pid=""
  [ "$rc" -eq 0 ] || fail "the watcher ended with exit code $rc on SIGTERM"
  eventually 30 not_running || fail "a velmora process is left running after the watcher ended"
  echo "ok: the watcher ends on SIGTERM with exit code 0, taking its show along"
  exit 0
fi

run_show ""
run_show ":99"

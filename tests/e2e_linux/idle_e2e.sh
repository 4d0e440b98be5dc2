#!/usr/bin/env bash
# velmora --idle on an X display, as the X server's idle time reports it (x11), or as GNOME's
# idle monitor does (gnome: a stand-in service on a private session bus, which also plays an
# application holding the screen saver off; on X11 a player asks the watcher's own
# screen-saver service on that bus). The show must start after 3 s without input, end on a
# key with the watcher staying, start again after the next idle period, and not start while
# the screen saver is held off, but start once the hold ends.
# Usage: idle_e2e.sh x11|gnome VELMORA [CPU_SECONDS]
#   With CPU_SECONDS, instead measures velmora --idle 5 with nobody typing: its CPU seconds and
#   wake-ups over that many seconds from 5 s after the start, and its memory (never asserted).
set -euo pipefail
mode="$1"
velmora=$(readlink -f "$2")
measure_seconds="${3:-0}"
standin="$(cd "$(dirname "$0")" && pwd)/gnome_idle_standin.py"
source "$(dirname "$0")/../e2e_lib.sh"

bus_pid="" standin_pid="" holder_pid=""
on_exit+=('kill $holder_pid $standin_pid $bus_pid 2>/dev/null; wait $holder_pid $standin_pid $bus_pid 2>/dev/null')
mkdir "$work/red"
convert -size 64x48 xc:'#ff0000' "$work/red/red.bmp"
unset WAYLAND_DISPLAY
command -v dbus-daemon >/dev/null || { echo "SKIP: dbus-daemon is not installed"; exit 77; }
# Debian's own Python, where python3-gi is (not one earlier in the PATH)
/usr/bin/python3 -c 'import gi' 2>/dev/null || { echo "SKIP: python3-gi is not installed"; exit 77; }
# A private session bus: only this test's services on it.
dbus-daemon --session --nofork --print-address=3 3>"$work/bus" >/dev/null 2>&1 &
bus_pid=$!
bus_known() { [ -s "$work/bus" ]; }
eventually 10 bus_known || fail "the private session bus did not start"
export DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$work/bus")
if [ "$mode" = gnome ]; then
  /usr/bin/python3 "$standin" >"$work/standin.log" 2>&1 &
  standin_pid=$!
  ready() { grep -qs ready "$work/standin.log"; }
  eventually 20 ready || fail "the stand-in did not start: $(cat "$work/standin.log")"
  expected_source="GNOME's idle monitor"
else
  expected_source="the X server's idle time"
fi
# A player holding the screen saver off through the session bus's screen-saver service for as
# long as it runs (the watcher's own on X11), in $holder_pid.
start_holder() {
  /usr/bin/python3 -c '
from gi.repository import Gio, GLib
bus = Gio.bus_get_sync(Gio.BusType.SESSION)
bus.call_sync("org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver", "org.freedesktop.ScreenSaver",
              "Inhibit", GLib.Variant("(ss)", ("idle_e2e", "a film")), None, Gio.DBusCallFlags.NONE, -1, None)
print("inhibiting", flush=True)
GLib.MainLoop().run()' >"$work/holder.log" 2>&1 &
  holder_pid=$!
  holding() { grep -qs inhibiting "$work/holder.log"; }
  eventually 20 holding || fail "the test's player could not hold the screen saver off: $(cat "$work/holder.log")"
}
standin() { # METHOD [ARGS]: a call to the stand-in's own interface
  gdbus call --session --dest velmora.test.IdleStandIn --object-path / --method "velmora.test.IdleStandIn.$1" "${@:2}" \
    >/dev/null
}

if [ "$measure_seconds" -gt 0 ]; then
  xdotool key shift # the display's idle time starts now: no show within the measurement
  start_app "$velmora" --idle 5
  sleep 5 # start-up left out
  ticks() { awk '{ print $14 + $15 }' "/proc/$app_pid/stat"; }
  wakes() { awk '/^voluntary_ctxt_switches/ { print $2 }' "/proc/$app_pid/status"; }
  t0=$(ticks) w0=$(wakes)
  sleep "$measure_seconds"
  t1=$(ticks) w1=$(wakes)
  awk -v t="$((t1 - t0))" -v hz="$(getconf CLK_TCK)" -v s="$measure_seconds" -v w="$((w1 - w0))" -v m="$mode" \
    'BEGIN { printf "velmora --idle 5: %.2f CPU s (%s, %d s), wake-ups %d\n", t / hz, m, s, w }'
  awk '/^(VmRSS|VmHWM|RssAnon)/ { printf "velmora %s %s %s\n", $1, $2, $3 }' "/proc/$app_pid/status"
  exit 0
fi

start_app "$velmora" --idle 0.05 --folder "$work/red" --size screen
watcher=$app_pid
watched_show() { shown=$(pgrep -x -P "$watcher" velmora) && [ -n "$shown" ]; }
ended() { ! kill -0 "$1" 2>/dev/null; }
mostly_red() { # the screen's average colour: the show of the red picture, its input taken
  shot screen && [ "$(convert "$work/screen.ppm" -resize '1x1!' -format '%[fx:r>0.75 && g<0.25]' info:)" = 1 ]
}
end_watched_show() { # a key, as a user would (at $typed, in ns); the watcher must stay
  local ending=$shown
  eventually 30 mostly_red || fail "the watcher's show never drew"
  typed=$(date +%s%N)
  xdotool key x
  [ "$mode" != gnome ] || standin Poke # what GNOME's monitor would have seen
  eventually 30 ended "$ending" || fail "the show still runs 30 s after the key"
  ! app_ended || fail "the watcher ended with the show"
}

expect_idle_show_again "$expected_source" "$expected_source"

if [ "$mode" = gnome ]; then
  standin SetInhibited true
else
  start_holder
fi
end_watched_show
held_since=$SECONDS
# Three idle times with the screen saver held off: nothing may start.
while [ $((SECONDS - held_since)) -lt 9 ]; do
  ! watched_show || fail "the show started while the screen saver was held off"
  sleep 0.2
done
if [ "$mode" = gnome ]; then
  standin SetInhibited false
else
  kill "$holder_pid" # leaving the bus without giving its cookie back, as a crashed player would
  wait "$holder_pid" 2>/dev/null || true
fi
eventually 30 watched_show || fail "no show after the hold ended"
echo "ok: no show for 9 s while the screen saver was held off, one after the hold ended"

eventually 30 watched_show || fail "no show to end with the watcher"
kill "$watcher"
expect_exit "SIGTERM to the watcher"
eventually 30 ended "$shown" || fail "the watcher's show is left running"
echo "ok: the show went with its watcher"

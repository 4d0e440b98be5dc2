#!/usr/bin/env bash
# velmora --idle on an X display, as the X server's idle time reports it (x11), or as GNOME's
# idle monitor does (gnome: a stand-in service on a private session bus, which also plays an
# application holding the screen saver off). The show must start after 3 s without input,
# end on a key with the watcher staying, start again after the next idle period, and (gnome)
# not start while the screen saver is held off, but start once the hold ends.
# Usage: idle_e2e.sh x11|gnome VELMORA
set -euo pipefail
mode="$1"
velmora=$(readlink -f "$2")
standin="$(cd "$(dirname "$0")" && pwd)/gnome_idle_standin.py"
source "$(dirname "$0")/../e2e_lib.sh"

bus_pid="" standin_pid=""
on_exit+=('kill $standin_pid $bus_pid 2>/dev/null; wait $standin_pid $bus_pid 2>/dev/null')
mkdir "$work/red"
convert -size 64x48 xc:'#ff0000' "$work/red/red.bmp"
unset WAYLAND_DISPLAY
if [ "$mode" = gnome ]; then
  command -v dbus-daemon >/dev/null || { echo "SKIP: dbus-daemon is not installed"; exit 77; }
  # Debian's own Python, where python3-gi is (not one earlier in the PATH)
  /usr/bin/python3 -c 'import gi' 2>/dev/null || { echo "SKIP: python3-gi is not installed"; exit 77; }
  dbus-daemon --session --nofork --print-address=3 3>"$work/bus" >/dev/null 2>&1 &
  bus_pid=$!
  bus_known() { [ -s "$work/bus" ]; }
  eventually 10 bus_known || fail "the private session bus did not start"
  export DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$work/bus")
  /usr/bin/python3 "$standin" >"$work/standin.log" 2>&1 &
  standin_pid=$!
  ready() { grep -q ready "$work/standin.log"; }
  eventually 20 ready || fail "the stand-in did not start: $(cat "$work/standin.log")"
  expected_source="GNOME's idle monitor"
else
  # No session bus, so no idle monitor on it either: the X server's idle time.
  export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus"
  expected_source="the X server's idle time"
fi
standin() { # METHOD [ARGS]: a call to the stand-in's own interface
  gdbus call --session --dest velmora.test.IdleStandIn --object-path / --method "velmora.test.IdleStandIn.$1" "${@:2}" \
    >/dev/null
}

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

eventually 30 watched_show || fail "the watcher started no show"
first=$shown
grep -q "$expected_source" "$app_log" || fail "the watcher does not use $expected_source"
echo "ok: velmora --idle 0.05 started the show after the idle time ($expected_source)"
end_watched_show
second_show() { watched_show && [ "$shown" != "$first" ]; }
eventually 30 second_show || fail "no second show after the next idle period"
waited_ms=$((($(date +%s%N) - typed) / 1000000))
# A lower bound only: the show must not come back while the user may still be there.
[ "$waited_ms" -ge 2500 ] || fail "the show came back $waited_ms ms after the key, before the idle time"
echo "ok: a key ended the show, the watcher stayed, and started it again after $waited_ms ms idle"

if [ "$mode" = gnome ]; then
  standin SetInhibited true
  end_watched_show
  held_since=$SECONDS
  # Three idle times with the screen saver held off: nothing may start.
  while [ $((SECONDS - held_since)) -lt 9 ]; do
    ! watched_show || fail "the show started while the session manager reported an inhibitor"
    sleep 0.2
  done
  standin SetInhibited false
  eventually 30 watched_show || fail "no show after the inhibitor went away"
  echo "ok: no show for 9 s while the screen saver was held off, one after the hold ended"
fi

eventually 30 watched_show || fail "no show to end with the watcher"
kill "$watcher"
expect_exit "SIGTERM to the watcher"
eventually 30 ended "$shown" || fail "the watcher's show is left running"
echo "ok: the show went with its watcher"

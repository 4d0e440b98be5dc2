#!/usr/bin/env bash
# velmora run by a real XScreenSaver daemon on the display in $DISPLAY, as the daemon runs it
# for a user: the daemon refuses to run hacks as root, so the test makes an ordinary user
# with its own home. Checks: the folder given by an option in the user's programs line is
# shown; -fps draws a figure and velmora is not restarted; with only the daemon's
# imageDirectory set, that folder is shown; an empty folder shows the desktop through the
# daemon's grabber only when grabDesktopImages allows it; deactivating ends velmora and
# leaves no process.
# Usage: daemon_e2e.sh VELMORA [SLIDESCREEN_SECONDS]
#   With a second argument, also prints the daemon's CPU share for velmora and for
#   slidescreen, each measured for that many seconds (a measurement, never asserted).
# Exit 77 (skipped) without a display, without the daemon, or when not run as root.
set -euo pipefail

velmora=$(readlink -f "$1")
measure_seconds="${2:-0}"
user=velmora-e2e

[ -n "${DISPLAY:-}" ] || { echo "SKIP: DISPLAY is not set"; exit 77; }
command -v xscreensaver >/dev/null || { echo "SKIP: the xscreensaver daemon is not installed"; exit 77; }
[ "$(id -u)" -eq 0 ] || { echo "SKIP: making the test's own user needs root"; exit 77; }

made_user=""
if ! id -u "$user" >/dev/null 2>&1; then
  useradd --system --no-create-home --shell /usr/sbin/nologin "$user"
  made_user=yes
fi
home=$(mktemp -d /tmp/velmora-daemon-XXXXXX)
chmod 755 "$home"
mkdir "$home/red" "$home/blue" "$home/empty"
convert -size 64x48 xc:'#ff0000' "$home/red/red.bmp"
convert -size 64x48 xc:'#0000ff' "$home/blue/blue.bmp"
convert -size 8x8 xc:'#00ff00' "$home/green.png"
convert -size 8x8 xc:black "$home/black.png"
chown -R "$user" "$home"

daemon_pid=""
stop_daemon() {
  if [ -n "$daemon_pid" ]; then
    as_user xscreensaver-command -exit >/dev/null 2>&1 || true
    wait "$daemon_pid" 2>/dev/null || true
    daemon_pid=""
  fi
  # Whatever the daemon left behind, by id: only this test's user runs anything here.
  local pid
  for pid in $(pgrep -u "$user" || true); do kill -9 "$pid" 2>/dev/null || true; done
}
cleanup() {
  stop_daemon
  display -window root "$home/black.png" 2>/dev/null || true
  rm -rf "$home"
  [ -z "$made_user" ] || userdel "$user" 2>/dev/null || true
}
trap cleanup EXIT

as_user() { runuser -u "$user" -- env HOME="$home" DISPLAY="$DISPLAY" XDG_CONFIG_HOME="$home/.config" "$@"; }

# Polls a command until it succeeds; fails the test with the message after `cap` seconds.
wait_for() {
  local cap="$1" what="$2"
  shift 2
  local deadline=$((SECONDS + cap))
  until "$@"; do
    if [ "$SECONDS" -ge "$deadline" ]; then
      echo "FAIL: $what (waited ${cap}s)"
      pgrep -a -u "$user" || true
      tail -n 20 "$home/daemon.log" || true
      exit 1
    fi
    sleep 0.2
  done
}

# Starts the daemon with these preference lines and blanks the screen with the one program.
start_saver() {
  local program="$1" extra="$2"
  stop_daemon
  printf 'mode:\t\tone\nselected:\t0\ntimeout:\t0:30:00\nlock:\t\tFalse\nfade:\t\tFalse\nunfade:\t\tFalse\nsplash:\t\tFalse\n%bprograms:\t\\\n\t\t%s \\n\\\n\n' \
    "$extra" "$program" >"$home/.xscreensaver"
  chown "$user" "$home/.xscreensaver"
  as_user xscreensaver -no-splash -verbose >"$home/daemon.log" 2>&1 &
  daemon_pid=$!
  wait_for 20 "the daemon answers" daemon_answers
  as_user xscreensaver-command -activate >/dev/null
}

daemon_answers() { as_user xscreensaver-command -time >/dev/null 2>&1; }
# A live process of that name: one that has ended but is not reaped yet (a zombie) is over.
running() {
  local pid
  for pid in $(pgrep -u "$user" -x "$1" || true); do
    [ "$(awk '{ print $3 }' "/proc/$pid/stat" 2>/dev/null)" = Z ] || [ ! -e "/proc/$pid" ] || return 0
  done
  return 1
}
ended() { ! running "$1"; }
shot() { import -window root "$home/shot.png" 2>/dev/null; }
# The screen is mostly this colour ("r" or "b"), its other channels dark.
screen_is() {
  shot || return 1
  local means
  means=$(convert "$home/shot.png" -format '%[fx:mean.r] %[fx:mean.g] %[fx:mean.b]' info:)
  case "$1" in
    r) awk -v m="$means" 'BEGIN { split(m, c, " "); exit !(c[1] > 0.6 && c[2] < 0.3 && c[3] < 0.3) }' ;;
    g) awk -v m="$means" 'BEGIN { split(m, c, " "); exit !(c[2] > 0.6 && c[1] < 0.3 && c[3] < 0.3) }' ;;
    b) awk -v m="$means" 'BEGIN { split(m, c, " "); exit !(c[3] > 0.6 && c[1] < 0.3 && c[2] < 0.3) }' ;;
    dark) awk -v m="$means" 'BEGIN { split(m, c, " "); exit !(c[1] + c[2] + c[3] < 0.6) }' ;;
  esac
}
show_drawn() { shot && [ "$(convert "$home/shot.png" -format '%[fx:maxima > 0.5]' info:)" = 1 ]; }
# The figure's black box with white digits in the bottom-left corner, over a red picture.
fps_figure_shown() {
  shot || return 1
  local height stats
  height=$(identify -format '%h' "$home/shot.png")
  stats=$(convert "$home/shot.png" -crop "120x16+4+$((height - 22))" +repage -format '%[fx:mean.r] %[fx:maxima.g]' info:)
  awk -v m="$stats" 'BEGIN { split(m, c, " "); exit !(c[1] < 0.5 && c[2] > 0.9) }'
}
forks() { grep -c -F "forked \"$velmora" "$home/daemon.log" || true; }

# Unblanks and waits for the hack to end; prints the time from the command (the daemon's own
# round trip included) to the end of the hack.
deactivate() {
  local name="$1" start
  start=$(date +%s%N)
  as_user xscreensaver-command -deactivate >/dev/null
  wait_for 10 "$name ends when the daemon unblanks" ended "$name"
  echo "$name ended $((($(date +%s%N) - start) / 1000000)) ms after the deactivate command"
}

# CPU share of the named hack's process over `measure_seconds` (user + system ticks).
cpu_share() {
  local name="$1" pid t0 t1
  pid=$(pgrep -u "$user" -x "$name" | head -n1)
  t0=$(awk '{ print $14 + $15 }' "/proc/$pid/stat")
  sleep "$measure_seconds"
  t1=$(awk '{ print $14 + $15 }' "/proc/$pid/stat")
  awk -v d=$((t1 - t0)) -v hz="$(getconf CLK_TCK)" -v s="$measure_seconds" 'BEGIN { printf "%.1f%%", 100 * d / hz / s }'
}

echo "== a folder from an option, with -fps"
start_saver "$velmora -root --folder $home/red -fps" ""
wait_for 30 "velmora runs under the daemon" running velmora
wait_for 30 "the option's folder is shown" screen_is r
wait_for 30 "the frames-per-second figure is shown" fps_figure_shown
[ "$(forks)" -eq 1 ] || { echo "FAIL: the daemon started velmora $(forks) times"; exit 1; }
running velmora || { echo "FAIL: velmora ended while blanked"; exit 1; }
if [ "$measure_seconds" -gt 0 ]; then
  velmora_cpu=$(cpu_share velmora)
fi

echo "== deactivate"
deactivate velmora

echo "== the daemon's image folder, nothing else"
start_saver "$velmora -root" "imageDirectory:\t$home/blue\n"
wait_for 30 "the daemon's imageDirectory is shown" screen_is b

echo "== a folder without pictures: the desktop through the daemon's grabber, if allowed"
stop_daemon
# display(1) ends with 1 even when it has set the background: the screen tells.
display -window root "$home/green.png" || true
wait_for 10 "the desktop is green before blanking" screen_is g
start_saver "$velmora -root --folder $home/empty" "grabDesktopImages:\tTrue\n"
wait_for 30 "the desktop copy comes from the daemon's grabber" screen_is g
start_saver "$velmora -root --folder $home/empty" "grabDesktopImages:\tFalse\n"
# Once the show has drawn (effects turn some black tiles bright), the screen must still be dark.
wait_for 30 "the show draws on black" show_drawn
screen_is dark || { echo "FAIL: the desktop is shown although grabDesktopImages is off"; exit 1; }

if [ "$measure_seconds" -gt 0 ]; then
  echo "== slidescreen, for comparison"
  start_saver "slidescreen -root" ""
  wait_for 30 "slidescreen runs under the daemon" running slidescreen
  slidescreen_cpu=$(cpu_share slidescreen)
  deactivate slidescreen
  echo "CPU over ${measure_seconds}s at $(xdpyinfo | awk '/dimensions:/ { print $2 }'): velmora $velmora_cpu, slidescreen $slidescreen_cpu"
fi

echo "== the daemon ends"
as_user xscreensaver-command -exit >/dev/null
wait "$daemon_pid" 2>/dev/null || true
daemon_pid=""
wait_for 10 "no process of the daemon or velmora is left" bash -c "! pgrep -u $user >/dev/null"
echo "PASS"

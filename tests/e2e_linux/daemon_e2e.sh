#!/usr/bin/env bash
# velmora run by a real XScreenSaver daemon on the display in $DISPLAY, as the daemon runs it
# for a user: the daemon refuses to run hacks as root, so the test makes an ordinary user
# with its own home. Checks: the folder given by an option in the user's programs line is
# shown, written under "~" as the daemon's settings window writes it; -fps draws a figure and
# velmora is not restarted; with only the daemon's imageDirectory set, that folder is shown;
# an empty folder (an option's or the daemon's own) shows the desktop through the daemon's
# grabber only when grabDesktopImages allows it, and so does chooseRandomImages off; the
# preview in the daemon's settings window shows the daemon's folder as the real run does;
# deactivating ends velmora and leaves no process.
# Usage: daemon_e2e.sh VELMORA [SLIDESCREEN_SECONDS]
#   With a second argument, also prints the daemon's CPU share for velmora and for
#   slidescreen, each measured for that many seconds (a measurement, never asserted).
# Exit 77 (skipped) without a display, without the daemon, or when not run as root.
set -euo pipefail

velmora=$(readlink -f "$1")
measure_seconds="${2:-0}"
user=velmora-e2e

command -v xscreensaver >/dev/null || { echo "SKIP: the xscreensaver daemon is not installed"; exit 77; }
[ "$(id -u)" -eq 0 ] || { echo "SKIP: making the test's own user needs root"; exit 77; }
. "$(dirname "$0")/../e2e_lib.sh"
home=$work
app_log="$home/daemon.log" # shown on failure

on_exit+=(stop_daemon 'display -window root "$home/black.png" 2>/dev/null')
if ! id -u "$user" >/dev/null 2>&1; then
  useradd --system --no-create-home --shell /usr/sbin/nologin "$user"
  on_exit+=('userdel "$user" 2>/dev/null')
fi
chmod 755 "$home"
mkdir "$home/red" "$home/blue" "$home/empty"
convert -size 64x48 xc:'#ff0000' "$home/red/red.bmp"
convert -size 64x48 xc:'#0000ff' "$home/blue/blue.bmp"
convert -size 8x8 xc:'#00ff00' "$home/green.png"
convert -size 8x8 xc:black "$home/black.png"
chown -R "$user" "$home"

daemon_pid=""
. "$(dirname "$0")/daemon_lib.sh"

# Polls the condition for at most CAP seconds; fails with WHAT and the user's processes.
wait_for() {
  local cap="$1" what="$2"
  shift 2
  eventually "$cap" "$@" || { pgrep -a -u "$user" || true; fail "$what (waited ${cap}s)"; }
}

# The daemon's preferences: the one program $1 and the preference lines $2.
write_prefs() {
  printf 'mode:\t\tone\nselected:\t0\ntimeout:\t0:30:00\nlock:\t\tFalse\nfade:\t\tFalse\nunfade:\t\tFalse\nsplash:\t\tFalse\n%bprograms:\t\\\n\t\t%s \\n\\\n\n' \
    "$2" "$1" >"$home/.xscreensaver"
  chown "$user" "$home/.xscreensaver"
}

# Starts the daemon with these preferences and blanks the screen with the one program.
start_saver() {
  stop_daemon
  write_prefs "$@"
  as_user xscreensaver -no-splash -verbose >"$home/daemon.log" 2>&1 &
  daemon_pid=$!
  wait_for 20 "the daemon answers" daemon_answers
  as_user xscreensaver-command -activate >/dev/null
}

# A live process of that name: one that has ended but is not reaped yet (a zombie) is over.
running() {
  local pid
  for pid in $(pgrep -u "$user" -x "$1" || true); do
    [ "$(awk '{ print $3 }' "/proc/$pid/stat" 2>/dev/null)" = Z ] || [ ! -e "/proc/$pid" ] || return 0
  done
  return 1
}
ended() { ! running "$1"; }
daemon_answers() { as_user xscreensaver-command -time >/dev/null 2>&1; }
shot_png() { import -window root "$home/shot.png" 2>/dev/null; }
# The screen's mean red, green and blue pass the awk condition on r, g and b.
screen_is() {
  shot_png && convert "$home/shot.png" -format '%[fx:mean.r] %[fx:mean.g] %[fx:mean.b]' info: |
    awk "{ r = \$1; g = \$2; b = \$3; exit !($1) }"
}
show_drawn() { shot_png && [ "$(convert "$home/shot.png" -format '%[fx:maxima > 0.5]' info:)" = 1 ]; }
# The figure's black box with white digits in the bottom-left corner, over a red picture.
fps_figure_shown() {
  shot_png || return 1
  convert "$home/shot.png" -gravity southwest -crop 120x16+4+6 +repage -format '%[fx:mean.r] %[fx:maxima.g]' info: |
    awk '{ exit !($1 < 0.5 && $2 > 0.9) }'
}
red='r > 0.6 && g < 0.3 && b < 0.3'
forks() { grep -c -F "forked \"$velmora" "$home/daemon.log" || true; }

# Unblanks and waits for the hack to end; prints the time from the command (the daemon's own
# round trip included) to the end of the hack.
deactivate() {
  local start
  start=$(date +%s%N)
  as_user xscreensaver-command -deactivate >/dev/null
  wait_for 10 "$1 ends when the daemon unblanks" ended "$1"
  echo "$1 ended $((($(date +%s%N) - start) / 1000000)) ms after the deactivate command"
}

# CPU share of the named hack's process over `measure_seconds` (user + system ticks).
cpu_share() {
  local pid t0 t1
  pid=$(pgrep -u "$user" -x "$1" | head -n1)
  t0=$(awk '{ print $14 + $15 }' "/proc/$pid/stat")
  sleep "$measure_seconds"
  t1=$(awk '{ print $14 + $15 }' "/proc/$pid/stat")
  awk -v d=$((t1 - t0)) -v hz="$(getconf CLK_TCK)" -v s="$measure_seconds" 'BEGIN { printf "%.1f%%", 100 * d / hz / s }'
}

echo "== a folder from an option, with -fps"
# As the daemon's settings window writes a chosen picture: under "~", run without a shell.
start_saver "$velmora -root --folder ~/red/red.bmp -fps" ""
wait_for 30 "velmora runs under the daemon" running velmora
wait_for 30 "the option's folder is shown" screen_is "$red"
wait_for 30 "the frames-per-second figure is shown" fps_figure_shown
[ "$(forks)" -eq 1 ] || fail "the daemon started velmora $(forks) times"
running velmora || fail "velmora ended while blanked"
[ "$measure_seconds" -eq 0 ] || velmora_cpu=$(cpu_share velmora)
deactivate velmora

echo "== the daemon's image folder, nothing else"
start_saver "$velmora -root" "imageDirectory:\t$home/blue\n"
wait_for 30 "the daemon's imageDirectory is shown" screen_is 'b > 0.6 && r < 0.3 && g < 0.3'

echo "== a folder without pictures: the desktop through the daemon's grabber, if allowed"
stop_daemon
# display(1) ends with 1 even when it has set the background: the screen tells.
display -window root "$home/green.png" || true
green='g > 0.6 && r < 0.3 && b < 0.3'
wait_for 10 "the desktop is green before blanking" screen_is "$green"
start_saver "$velmora -root --folder $home/empty" "grabDesktopImages:\tTrue\n"
wait_for 30 "the desktop copy comes from the daemon's grabber" screen_is "$green"
start_saver "$velmora -root --folder $home/empty" "grabDesktopImages:\tFalse\n"
# Once the show has drawn (effects turn some black tiles bright), the screen must still be dark.
wait_for 30 "the show draws on black" show_drawn
screen_is 'r + g + b < 0.6' || fail "the desktop is shown although grabDesktopImages is off"
# The daemon's own folder, empty, and the daemon's pictures from files switched off.
start_saver "$velmora -root" "imageDirectory:\t~/empty\ngrabDesktopImages:\tTrue\n"
wait_for 30 "the daemon's empty imageDirectory gives the desktop copy" screen_is "$green"
start_saver "$velmora -root" "imageDirectory:\t$home/blue\nchooseRandomImages:\tFalse\ngrabDesktopImages:\tTrue\n"
wait_for 30 "with chooseRandomImages off the desktop copy is shown, not the image folder" screen_is "$green"

echo "== the preview in the daemon's settings window shows what the daemon's run shows"
stop_daemon
write_prefs "$velmora -root" "imageDirectory:\t~/blue\n"
# Pure blue over at least 100x100 pixels of the preview (the picture fills it, scaled to it).
preview_blue() {
  shot_png && convert "$home/shot.png" -fuzz 15% -fill white +opaque '#0000ff' -fill black -opaque '#0000ff' \
    -format '%[fx:int((1 - mean) * w * h)]' info: | awk '{ exit !($1 > 10000) }'
}
as_user xscreensaver-settings >"$home/settings.log" 2>&1 &
settings_pid=$!
wait_for 30 "velmora runs in the settings window's preview" running velmora
wait_for 30 "the preview shows the daemon's image folder" preview_blue
kill "$settings_pid" 2>/dev/null || true
wait "$settings_pid" 2>/dev/null || true
stop_daemon

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

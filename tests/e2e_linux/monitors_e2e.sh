#!/usr/bin/env bash
# velmora -s on two monitors of different sizes (one X screen, Xinerama): each monitor shows
# its own picture under its own grid, one key ends both, and --monitors primary leaves the
# other monitor black.
# Usage: monitors_e2e.sh VELMORA [SCREENSHOT_PNG]
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
. "$here/../e2e_lib.sh"
start_two_heads

# Two pictures, each the size of one monitor, drawn there 1:1: the first of the show order on
# the primary (where the pointer is), the second on the other one.
mkdir -p "$work/pictures"
python3 "$check" make-picture 1024 768 "$work/pictures/a.bmp"
python3 "$check" make-picture 800 600 "$work/pictures/b.bmp"
python3 "$check" write-ini "$work/velmora.ini" utf-8 "[Section]" "画像ﾁｪﾝｼﾞ= 0" "画像のｻｲｽﾞ= 1" "ﾌｨﾙﾀ区分= 1" \
  "画像のﾌｫﾙﾀﾞ=$work/pictures" "続きから= 0" # every start at the first picture
xdotool mousemove 200 200

both_start() { shot start && head_shows check-start 0 start >/dev/null && head_shows check-start 1 start >/dev/null; }
start_app "$1" -s --ini "$work/velmora.ini"
wait_window Velmora_Main
eventually 30 both_start || { head_shows check-start 0 start; head_shows check-start 1 start; fail "the two monitors do not both show their own picture under their own grid"; }
echo "ok: each monitor shows its own picture and grid"
# The one input rule across both: a straight line from where the pointer was, over onto the
# other monitor, does not end the show.
move_through "600 200" "1300 200" "1700 200"
expect_running "a straight movement across both monitors"
later() { shot later && head_shows check-later 1 later >/dev/null; }
eventually 30 later || fail "no tiles were filtered on the second monitor"
[ -z "${2:-}" ] || convert "$work/later.ppm" "$2"
xdotool key x
expect_exit "a key press with two monitors"

xdotool mousemove 200 200
start_app "$1" -s --ini "$work/velmora.ini" --monitors primary
wait_window Velmora_Main
primary_only() { shot primary && head_shows check-start 0 primary >/dev/null && head_shows check-black 1 primary >/dev/null; }
eventually 30 primary_only || { head_shows check-black 1 primary; fail "with --monitors primary the second monitor is not black"; }
echo "ok: with --monitors primary the second monitor is black"
move_through "1300 300"
xdotool mousemove 1301 301
expect_exit "a diagonal movement on the black monitor"

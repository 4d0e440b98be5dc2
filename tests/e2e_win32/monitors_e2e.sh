#!/usr/bin/env bash
# velmora.scr's show on two monitors of different sizes under Wine: each monitor shows its own
# picture under its own grid, one key ends both, and the 全ﾓﾆﾀｰ key keeps the show to the primary.
# Usage: monitors_e2e.sh VELMORA_SCR [SCREENSHOT_PNG]
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
. "$here/../e2e_lib.sh"
start_two_heads
. "$here/wine_e2e_lib.sh"

# Wine lists the monitors from Xinerama only when told not to ask RandR (the nested server's
# RandR knows one output). The key is this test's alone, and the Wine processes that read the
# monitors at their start go before and after it.
x11_key='HKCU\Software\Wine\X11 Driver'
wineserver -k 2>/dev/null || true
on_exit+=('wine reg delete "$x11_key" /v UseXRandR /f >/dev/null 2>&1; wineserver -k 2>/dev/null')
wine reg add "$x11_key" /v UseXRandR /t REG_SZ /d N /f >/dev/null 2>&1
# A desktop process started along with the key's writer may have read the monitors without it.
wineserver -k 2>/dev/null || true

# Two pictures, each the size of one monitor, drawn there 1:1: the first of the show order on
# the primary, the second on the other one.
mkdir -p "$work/pictures"
cp "$1" "$work/velmora.scr"
python3 "$check" make-picture 1024 768 "$work/pictures/a.bmp"
python3 "$check" make-picture 800 600 "$work/pictures/b.bmp"
write_settings() { # extra lines
  python3 "$check" write-ini "$work/ヴェルモラ.ini" cp932 "[Section]" "画像ﾁｪﾝｼﾞ= 0" "画像のｻｲｽﾞ= 1" "ﾌｨﾙﾀ区分= 1" \
    "画像のﾌｫﾙﾀﾞ=Z:${work//\//\\}\\pictures" "続きから= 0" "$@" # every start at the first picture
}

both_start() { shot start && head_shows check-start 0 start >/dev/null && head_shows check-start 1 start >/dev/null; }

write_settings
xdotool mousemove 200 200
start_app wine ./velmora.scr /s
wait_window Velmora_Main
eventually 60 both_start || { head_shows check-start 0 start; head_shows check-start 1 start; fail "the two monitors do not both show their own picture under their own grid"; }
echo "ok: each monitor shows its own picture and grid"
# The one input rule across both: a straight line from where the pointer was, over onto the
# other monitor, does not end the show.
move_through "600 200" "1300 200" "1700 200"
expect_running "a straight movement across both monitors"
later() { shot later && head_shows check-later 1 later >/dev/null; }
eventually 60 later || fail "no tiles were filtered on the second monitor"
[ -z "${2:-}" ] || convert "$work/later.ppm" "$2"
xdotool key x
expect_exit "a key press with two monitors"

# 全ﾓﾆﾀｰ= 0: the primary only, the other monitor black.
write_settings "全ﾓﾆﾀｰ= 0"
xdotool mousemove 200 200
start_app wine ./velmora.scr /s
wait_window Velmora_Main
primary_only() { shot primary && head_shows check-start 0 primary >/dev/null && head_shows check-black 1 primary >/dev/null; }
eventually 60 primary_only || { head_shows check-black 1 primary; fail "with 全ﾓﾆﾀｰ= 0 the second monitor is not black"; }
echo "ok: with 全ﾓﾆﾀｰ= 0 the second monitor is black"
move_through "1300 300"
xdotool mousemove 1301 301
expect_exit "a diagonal movement on the black monitor"

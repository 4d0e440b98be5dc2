#!/usr/bin/env bash
# The settings window of the velmora program (velmora -c / --settings) on the X display in
# $DISPLAY, driven by xdotool at the layout's coordinates:
#   save      clicks change the options; "設定", released outside its face, writes the new
#             per-user file (code page 932, as a new file is) and ends the program
#   keep      an explicit UTF-8 file (--ini) keeps its encoding and a stored value the
#             window does not touch (画像ﾁｪﾝｼﾞ= 2); a kind stored as 2 shows unticked and one
#             click ticks it; the per-user file is not written; the window's canvas is
#             the core's (velmora-canvas, beside velmora-fx) but for texts and controls
#   cancel    "ｷｬﾝｾﾙ" after changes writes nothing
#   close     the close box (as a window manager sends it) after changes writes nothing
#   panels    the system's folder chooser lists the folder in scan order; the first entry
#             shows its thumbnail, filter buttons their effect on it (velmora-fx on the same
#             thumbnail); a picture that does not load says so inside the size label; a
#             second chooser cancelled keeps the folder; the music file comes
#             from the system's file chooser; optionally a screenshot of the window
# Usage: settings_e2e.sh CASE VELMORA VELMORA_FX [SCREENSHOT]
set -euo pipefail

case_name="$1"
velmora=$(readlink -f "$2")
fx=$(readlink -f "$3")
. "$(dirname "$0")/../e2e_lib.sh"
export XDG_CONFIG_HOME="$work/config"
user_file="$XDG_CONFIG_HOME/velmora/ヴェルモラ.ini"

# Waits for a chooser titled $1, types the path $2 into its location box and accepts it
# (an empty path cancels it).
choose_path() {
  wait_window "$1"
  xdotool windowfocus --sync "$found"
  if [ -z "$2" ]; then
    xdotool key Escape
  else
    xdotool key ctrl+l
    xdotool type --delay 20 "$2"
    sleep 0.3 # the location box completes the name as it is typed
    xdotool key Return
  fi
  wait_gone "$1"
}

case "$case_name" in
save)
  start_dialog "$velmora" -c
  click_at 600 78  # "ﾗﾝﾀﾞﾑ" (caption)
  click_at 570 134 # "ｵﾘｼﾞﾅﾙ" (face)
  click_at 600 262 # "一画面で同一ﾌｨﾙﾀ" (caption)
  click_at 142 382 # "音楽CD" (face): the repeat box opens
  click_at 208 382 # the repeat box's text
  xdotool key ctrl+a
  xdotool type "3"
  # "設定" pressed on its face and released outside it still saves.
  # shellcheck disable=SC2046
  xdotool mousemove --sync $(at 591 339) mousedown 1
  # shellcheck disable=SC2046
  xdotool mousemove --sync $(at 300 200) mouseup 1
  expect_exit '"設定"'
  expect_file "$user_file" cp932 "[Section]" "画像ﾁｪﾝｼﾞ= 1" "画像のｻｲｽﾞ= 0" "ﾌｨﾙﾀ区分= 0" "画像のﾌｫﾙﾀﾞ=" \
    "画像種類_0= 1" "画像種類_1= 1" "画像種類_2= 1" "画像種類_3= 1" "BGM区分= 1" "BGMﾘﾋﾟｰﾄ= 3" "BGMﾌｧｲﾙ="
  ;;
keep)
  python3 "$check" write-ini "$work/mine.ini" utf-8 "[Section]" "画像ﾁｪﾝｼﾞ= 2" "画像のｻｲｽﾞ= 1" "ﾌｨﾙﾀ区分= 1" \
    "画像のﾌｫﾙﾀﾞ=" "画像種類_0= 1" "画像種類_1= 2" "画像種類_2= 1" "画像種類_3= 1" "BGM区分= 0" "BGMﾘﾋﾟｰﾄ= 0" "BGMﾌｧｲﾙ="
  start_dialog "$velmora" --settings --ini "$work/mine.ini"
  expect_core_canvas mine.ini "$(dirname "$fx")/velmora-canvas"
  expect_region "$skin/check_off.bmp" 220 224
  click_at 226 230 # "*.gif" (face)
  expect_region "$skin/check_on.bmp" 220 224
  click_at 570 262 # "一画面で同一ﾌｨﾙﾀ" (face)
  click_at 591 339 # "設定"
  expect_exit '"設定"'
  expect_file "$work/mine.ini" utf-8 "[Section]" "画像ﾁｪﾝｼﾞ= 2" "画像のｻｲｽﾞ= 1" "ﾌｨﾙﾀ区分= 0" "画像のﾌｫﾙﾀﾞ=" \
    "画像種類_0= 1" "画像種類_1= 1" "画像種類_2= 1" "画像種類_3= 1" "BGM区分= 0" "BGMﾘﾋﾟｰﾄ= 0" "BGMﾌｧｲﾙ="
  [ ! -e "$user_file" ] || fail "the per-user file was written beside the --ini file"
  ;;
cancel | close)
  mkdir -p "$(dirname "$user_file")"
  printf '[Section]\r\n画像ﾁｪﾝｼﾞ= 0\r\n' >"$user_file"
  cp "$user_file" "$work/before.ini"
  start_dialog "$velmora" -c
  click_at 600 78  # "ﾗﾝﾀﾞﾑ"
  click_at 570 262 # "一画面で同一ﾌｨﾙﾀ"
  click_at 142 422 # "MP3、MAV"
  if [ "$case_name" = cancel ]; then
    click_at 691 339 # "ｷｬﾝｾﾙ"
  else
    python3 "$check" close "$window"
  fi
  expect_exit "$case_name"
  cmp -s "$user_file" "$work/before.ini" || fail "$case_name changed the settings file"
  [ "$(ls "$(dirname "$user_file")")" = "ヴェルモラ.ini" ] || fail "$case_name left another file"
  echo "ok: $case_name wrote nothing"
  ;;
panels)
  export GSETTINGS_BACKEND=memory # the chooser keeps its own settings; no session bus here
  mkdir "$work/Pics" "$work/Music"
  convert -size 480x640 gradient:'#ffff00-#0000ff' -fill '#20c040' -draw 'rectangle 100,100 300,260' \
    -type TrueColor "BMP3:$work/Pics/z.bmp"
  convert -size 64x48 xc:'#808080' "$work/Pics/a.jpg"
  printf 'GIF89a\100\0\060\0 not a picture' >"$work/Pics/broken.gif"
  cp "$work/Pics/a.jpg" "$work/Music/song.mp3" # the chooser only looks at the name
  folder_chooser="ﾌｫﾙﾀﾞをｸﾘｯｸして選択状態にしてから ＯＫ を押してください"
  start_dialog "$velmora" -c
  click_at 71 63 # "ﾌｫﾙﾀﾞで指定..."
  choose_path "$folder_chooser" "$work/Pics"
  # Scan order: the bitmap, the GIF, then the JPEG, though "a.jpg" sorts first.
  click_at 60 90
  expect_thumbnail_and_filters "$work/Pics/z.bmp" "$fx"
  shot_dialog "${4:-}"
  click_at 60 90 # back to the list, whose next entry is the broken GIF
  expect_short_failure_label xdotool key Down
  expect_music_chosen_and_saved
  ;;
*)
  fail "unknown case $case_name"
  ;;
esac

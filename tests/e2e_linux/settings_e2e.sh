#!/usr/bin/env bash
# The settings window of the velmora program (velmora -c / --settings) on the X display in
# $DISPLAY, driven by xdotool at the layout's coordinates:
#   save      clicks change the options; "設定", released outside its face, writes the new
#             per-user file (code page 932, as a new file is) and ends the program
#   keep      an explicit UTF-8 file (--ini) keeps its encoding and a stored value the
#             window does not touch (画像ﾁｪﾝｼﾞ= 2); the per-user file is not written
#   cancel    "ｷｬﾝｾﾙ" after changes writes nothing
#   close     the close box after changes writes nothing
#   choosers  the system's folder chooser lists the folder in scan order; a second one
#             cancelled keeps it; the music file comes from the system's file chooser
#   panels    a list entry shows its thumbnail; filter buttons show their effect on it
#             (velmora-fx on the same thumbnail); optionally a screenshot of the window
# Usage: settings_e2e.sh CASE VELMORA VELMORA_FX [SCREENSHOT]
# Exit 77 (skipped) without a display or xdotool.
set -euo pipefail

case_name="$1"
velmora=$(readlink -f "$2")
fx=$(readlink -f "$3")
screenshot_out="${4:-}"
here=$(cd "$(dirname "$0")" && pwd)
checks="$here/../e2e_win32/panel_check.py" # the thumbnail and preview-box checks the Windows test uses

[ -n "${DISPLAY:-}" ] || { echo "SKIP: DISPLAY is not set"; exit 77; }
command -v xdotool >/dev/null || { echo "SKIP: xdotool is not installed"; exit 77; }

work=$(mktemp -d /tmp/velmora-settings-XXXXXX)
export XDG_CONFIG_HOME="$work/config"
dialog_pid=""
cleanup() {
  if [ -n "$dialog_pid" ] && kill -0 "$dialog_pid" 2>/dev/null; then
    kill "$dialog_pid" 2>/dev/null || true
    wait "$dialog_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; [ -s "$work/velmora.log" ] && cat "$work/velmora.log"; exit 1; }

title="ヴェルモラの設定"
origin_x=0
origin_y=0
window_id=""

# Starts the window and waits (with a cap) until it is mapped; its canvas origin on the screen.
start_dialog() {
  "$velmora" "$@" >"$work/velmora.log" 2>&1 &
  dialog_pid=$!
  local id=""
  for _ in $(seq 1 300); do
    id=$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -n1 || true)
    [ -n "$id" ] && break
    kill -0 "$dialog_pid" 2>/dev/null || fail "velmora $* ended without a window"
    sleep 0.1
  done
  [ -n "$id" ] || fail "no window titled $title after 30 s"
  window_id=$id
  eval "$(xdotool getwindowgeometry --shell "$id")"
  origin_x=$X
  origin_y=$Y
  echo "ok: the window \"$title\" is open at $X,$Y"
}

# A click at canvas coordinates.
click_at() { xdotool mousemove --sync $((origin_x + $1)) $((origin_y + $2)) click 1; }

# Polls until the program has ended (the window's "設定" or "ｷｬﾝｾﾙ" ends it).
wait_ended() {
  for _ in $(seq 1 200); do
    kill -0 "$dialog_pid" 2>/dev/null || break
    sleep 0.05
  done
  kill -0 "$dialog_pid" 2>/dev/null && fail "velmora still runs 10 s after $1"
  wait "$dialog_pid" || fail "velmora ended with an error after $1"
  dialog_pid=""
}

# The file's bytes against the expected lines (CRLF) in an encoding.
expect_file() {
  python3 - "$@" <<'PY' || fail "the settings file $1 is not the expected one"
import sys
path, encoding, lines = sys.argv[1], sys.argv[2], sys.argv[3:]
want = ("\r\n".join(lines) + "\r\n").encode(encoding)
got = open(path, "rb").read()
if got != want:
    print("expected:", want)
    print("got:     ", got)
    sys.exit(1)
PY
}

# Waits for a chooser titled $1, types the path $2 into its location box and accepts it.
choose_path() {
  local id=""
  for _ in $(seq 1 100); do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1 || true)
    [ -n "$id" ] && break
    sleep 0.1
  done
  [ -n "$id" ] || fail "no chooser titled $1"
  xdotool windowfocus --sync "$id"
  if [ -z "$2" ]; then
    xdotool key Escape
  else
    xdotool key ctrl+l
    xdotool type --delay 20 "$2"
    sleep 0.3 # the location box completes the name as it is typed
    xdotool key Return
  fi
  for _ in $(seq 1 100); do
    xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  fail "the chooser $1 is still open"
}

# Polls until the preview box on the screen shows exactly the picture (a BMP) at its corner.
expect_preview() {
  local picture="$1" what="$2"
  for _ in $(seq 1 50); do
    import -window root -depth 8 "ppm:$work/screen.ppm"
    if python3 "$checks" preview "$work/screen.ppm" "$origin_x" "$origin_y" "$picture"; then
      echo "ok: the preview shows $what"
      return 0
    fi
    sleep 0.2
  done
  python3 "$checks" preview "$work/screen.ppm" "$origin_x" "$origin_y" "$picture" --explain || true
  fail "the preview does not show $what"
}

user_file="$XDG_CONFIG_HOME/velmora/ヴェルモラ.ini"

case "$case_name" in
save)
  start_dialog -c
  click_at 600 78   # "ﾗﾝﾀﾞﾑ" (caption)
  click_at 570 134  # "ｵﾘｼﾞﾅﾙ" (face)
  click_at 600 262  # "一画面で同一ﾌｨﾙﾀ" (caption)
  click_at 142 382  # "音楽CD" (face): the repeat box opens
  click_at 208 382  # the repeat box's text
  xdotool key ctrl+a
  xdotool type "3"
  # "設定" pressed on its face and released outside it still saves.
  xdotool mousemove --sync $((origin_x + 591)) $((origin_y + 339)) mousedown 1
  xdotool mousemove --sync $((origin_x + 300)) $((origin_y + 200)) mouseup 1
  wait_ended '"設定"'
  expect_file "$user_file" cp932 "[Section]" "画像ﾁｪﾝｼﾞ= 1" "画像のｻｲｽﾞ= 0" "ﾌｨﾙﾀ区分= 0" "画像のﾌｫﾙﾀﾞ=" \
    "画像種類_0= 1" "画像種類_1= 1" "画像種類_2= 1" "画像種類_3= 1" "BGM区分= 1" "BGMﾘﾋﾟｰﾄ= 3" "BGMﾌｧｲﾙ="
  echo "ok: \"設定\" wrote the per-user file with the clicked options"
  ;;
keep)
  python3 - "$work/mine.ini" <<'PY'
import sys
lines = ["[Section]", "画像ﾁｪﾝｼﾞ= 2", "画像のｻｲｽﾞ= 1", "ﾌｨﾙﾀ区分= 1", "画像のﾌｫﾙﾀﾞ=", "画像種類_0= 1",
         "画像種類_1= 0", "画像種類_2= 1", "画像種類_3= 1", "BGM区分= 0", "BGMﾘﾋﾟｰﾄ= 0", "BGMﾌｧｲﾙ="]
open(sys.argv[1], "wb").write(("\r\n".join(lines) + "\r\n").encode("utf-8"))
PY
  start_dialog --settings --ini "$work/mine.ini"
  click_at 570 262  # "一画面で同一ﾌｨﾙﾀ" (face)
  click_at 591 339  # "設定"
  wait_ended '"設定"'
  expect_file "$work/mine.ini" utf-8 "[Section]" "画像ﾁｪﾝｼﾞ= 2" "画像のｻｲｽﾞ= 1" "ﾌｨﾙﾀ区分= 0" "画像のﾌｫﾙﾀﾞ=" \
    "画像種類_0= 1" "画像種類_1= 0" "画像種類_2= 1" "画像種類_3= 1" "BGM区分= 0" "BGMﾘﾋﾟｰﾄ= 0" "BGMﾌｧｲﾙ="
  [ -e "$user_file" ] && fail "the per-user file was written beside the --ini file"
  echo "ok: the UTF-8 file stays UTF-8 and keeps the value the window did not touch"
  ;;
cancel)
  mkdir -p "$(dirname "$user_file")"
  printf '[Section]\r\n画像ﾁｪﾝｼﾞ= 0\r\n' >"$user_file"
  cp "$user_file" "$work/before.ini"
  start_dialog -c
  click_at 600 78   # "ﾗﾝﾀﾞﾑ"
  click_at 142 402  # "無し"... then "MP3、MAV"
  click_at 142 422
  click_at 691 339  # "ｷｬﾝｾﾙ"
  wait_ended '"ｷｬﾝｾﾙ"'
  cmp -s "$user_file" "$work/before.ini" || fail "\"ｷｬﾝｾﾙ\" changed the settings file"
  [ "$(ls "$(dirname "$user_file")")" = "ヴェルモラ.ini" ] || fail "\"ｷｬﾝｾﾙ\" left another file"
  echo "ok: \"ｷｬﾝｾﾙ\" wrote nothing"
  ;;
close)
  start_dialog -c
  click_at 600 78   # "ﾗﾝﾀﾞﾑ"
  click_at 570 262  # "一画面で同一ﾌｨﾙﾀ"
  python3 "$here/close_window.py" "$window_id"
  wait_ended "the close box"
  [ -e "$user_file" ] && fail "the close box wrote the settings file"
  echo "ok: the close box wrote nothing"
  ;;
choosers)
  export GSETTINGS_BACKEND=memory # the chooser keeps its own settings; no session bus here
  mkdir "$work/Pics" "$work/Music"
  convert -size 480x640 gradient:'#ffff00-#0000ff' -type TrueColor "BMP3:$work/Pics/z.bmp"
  convert -size 64x48 xc:'#808080' "$work/Pics/a.jpg"
  cp "$work/Pics/a.jpg" "$work/Music/song.mp3" # the chooser only looks at the name
  start_dialog -c
  click_at 71 63 # "ﾌｫﾙﾀﾞで指定..."
  choose_path "ﾌｫﾙﾀﾞをｸﾘｯｸして選択状態にしてから ＯＫ を押してください" "$work/Pics"
  # Scan order: the bitmap before the JPEG, though "a.jpg" sorts first.
  click_at 60 90
  python3 "$checks" thumbnail "$work/Pics/z.bmp" "$work/thumb.bmp"
  expect_preview "$work/thumb.bmp" "the 75 x 100 thumbnail of the first entry, z.bmp"
  click_at 71 63
  choose_path "ﾌｫﾙﾀﾞをｸﾘｯｸして選択状態にしてから ＯＫ を押してください" ""
  click_at 142 422 # "MP3、MAV"
  click_at 267 423 # "ﾌｧｲﾙ名"
  choose_path "ﾌｧｲﾙを開く" "$work/Music/song.mp3"
  click_at 591 339 # "設定"
  wait_ended '"設定"'
  expect_file "$user_file" cp932 "[Section]" "画像ﾁｪﾝｼﾞ= 0" "画像のｻｲｽﾞ= 1" "ﾌｨﾙﾀ区分= 1" "画像のﾌｫﾙﾀﾞ=$work/Pics" \
    "画像種類_0= 1" "画像種類_1= 1" "画像種類_2= 1" "画像種類_3= 1" "BGM区分= 2" "BGMﾘﾋﾟｰﾄ= 0" \
    "BGMﾌｧｲﾙ=$work/Music/song.mp3"
  echo "ok: the chosen folder and music file were saved; the cancelled chooser kept the folder"
  ;;
panels)
  mkdir "$work/Pics"
  convert -size 640x480 gradient:'#ff0000-#0000ff' -fill '#20c040' -draw 'rectangle 100,100 300,260' \
    -type TrueColor "BMP3:$work/Pics/b.bmp"
  printf '[Section]\r\n画像のﾌｫﾙﾀﾞ=%s\r\n' "$work/Pics" >"$work/pics.ini"
  start_dialog -c --ini "$work/pics.ini"
  click_at 60 90 # the list's first entry, b.bmp
  python3 "$checks" thumbnail "$work/Pics/b.bmp" "$work/thumb.bmp"
  expect_preview "$work/thumb.bmp" "the 100 x 75 thumbnail of b.bmp"
  "$fx" 8 7895040 "$work/thumb.bmp" "$work/fx8.bmp" >/dev/null || fail "velmora-fx failed"
  "$fx" 16 2 "$work/thumb.bmp" "$work/fx16.bmp" >/dev/null || fail "velmora-fx failed"
  click_at 362 206 # 7
  click_at 362 230 # 8
  expect_preview "$work/fx8.bmp" "button 8's effect (type 8) on the unfiltered thumbnail"
  click_at 450 230 # 32
  expect_preview "$work/fx16.bmp" "button 32's effect (type 16 with 2)"
  if [ -n "$screenshot_out" ]; then
    import -window root -crop "753x485+${origin_x}+${origin_y}" +repage "$screenshot_out"
  fi
  click_at 691 339 # "ｷｬﾝｾﾙ"
  wait_ended '"ｷｬﾝｾﾙ"'
  ;;
*)
  fail "unknown case $case_name"
  ;;
esac

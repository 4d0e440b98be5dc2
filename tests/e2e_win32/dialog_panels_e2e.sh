#!/usr/bin/env bash
# End-to-end test of the settings window's panels under Wine on the current X display: a
# folder chosen in the real folder browser by keyboard, its files listed, "*.gif" unticked,
# a picture's thumbnail checked pixel by pixel, filter previews checked against velmora-fx,
# a picture that does not load, an MP3 chosen in the real open-file dialog, and the saved
# settings file's exact bytes.
# Usage: dialog_panels_e2e.sh VELMORA_SCR VELMORA_FX DIALOG_PROBE [SCREENSHOT_PNG]
set -euo pipefail

scr="$1"
fx="$2"
probe="$3"
screenshot_out="${4:-}"
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/wine_e2e_lib.sh"
title="$dialog_title"

# An ASCII name under /tmp: the folder browser is driven through its tree by typing names.
work="$(mktemp -d /tmp/velmora-panels-XXXXXX)"
work_name="$(basename "$work")"
dialog_pid=""
cleanup() {
  if [ -n "$dialog_pid" ] && kill -0 "$dialog_pid" 2>/dev/null; then
    kill "$dialog_pid" 2>/dev/null || true
    wait "$dialog_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

expect_no_per_user_settings

cp "$scr" "$work/velmora.scr"
cp "$fx" "$work/velmora-fx.exe"
cp "$probe" "$work/dialog_probe.exe"
printf '[Section]\r\n' >"$work/ヴェルモラ.ini"
mkdir "$work/Pics" "$work/Music"
python3 "$here/screen_check.py" make-picture 640 480 "$work/Pics/b.bmp"
python3 "$here/screen_check.py" make-picture 320 240 "$work/Pics/a.gif" # listed only, never opened
for name in d.gif c.jpg E.jpg 景色.jpg .hidden.bmp notes.txt; do
  cp "$work/Pics/a.gif" "$work/Pics/$name"
done
head -c 5000 /dev/urandom >"$work/Pics/broken.bmp"
printf 'not really music' >"$work/Music/song.mp3"
windows_path() { echo "Z:${1//\//\\}"; }

start_panels_dialog() {
  start_dialog
  [ "$canvas_w" -eq 753 ] || fail "the canvas is $canvas_w wide: this test runs at 96 DPI"
}

wait_window() {
  local name="$1" found=""
  for _ in $(seq 1 200); do
    found=$(xdotool search --onlyvisible --name "^$name\$" 2>/dev/null | head -n1 || true)
    [ -z "$found" ] || break
    sleep 0.1
  done
  [ -n "$found" ] || fail "no window '$name' after 20 s"
  echo "$found"
}

wait_gone() {
  for _ in $(seq 1 200); do
    xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  fail "the window '$1' is still open after 20 s"
}

# The list as the dialog holds it: its count, then one name a line.
read_list() { (cd "$work" && wine ./dialog_probe.exe 2>/dev/null) | tr -d '\r'; }

# Polls until the list is exactly the given names (count line first).
expect_list() {
  local want got=""
  want=$(printf '%s\n' "$#" "$@")
  for _ in $(seq 1 100); do
    got=$(read_list || true)
    [ "$got" = "$want" ] && return 0
    sleep 0.2
  done
  fail "the list is
$got
not
$want"
}

# Polls until the preview box on the screen shows exactly the picture (a BMP) at its corner.
expect_preview() {
  local picture="$1" what="$2"
  for _ in $(seq 1 50); do
    import -window root -depth 8 "ppm:$work/screen.ppm"
    if python3 "$here/panel_check.py" preview "$work/screen.ppm" "$origin_x" "$origin_y" "$picture"; then
      echo "ok: the preview shows $what"
      return 0
    fi
    sleep 0.2
  done
  python3 "$here/panel_check.py" preview "$work/screen.ppm" "$origin_x" "$origin_y" "$picture" --explain || true
  fail "the preview does not show $what"
}

start_panels_dialog

# The folder browser: from the desktop to "/" (drive Z:), then down the tree by typing names.
click_at 71 63 # "ﾌｫﾙﾀﾞで指定..."
browser=$(wait_window 'Browse for Folder')
xdotool windowfocus --sync "$browser"
sleep 0.3
xdotool key Down Right
sleep 0.5
for part in tmp "$work_name" Pics; do
  xdotool type --delay 40 "$part"
  sleep 0.6
  xdotool key Right
  sleep 0.6
done
xdotool key Return
wait_gone 'Browse for Folder'

# Scan order: the bitmaps, then the GIFs, then the JPEGs (each in the folder's own order);
# the hidden file and the text file are not taken.
got=$(read_list)
for _ in $(seq 1 100); do
  [ "$(echo "$got" | head -n1)" = 7 ] && break
  sleep 0.2
  got=$(read_list)
done
python3 - "$got" <<'PY' || fail "the chosen folder is not listed as it should be: $got"
import sys
lines = sys.argv[1].split("\n")
count, names = int(lines[0]), [n for n in lines[1:] if n]
kinds = [n.rsplit(".", 1)[1].lower() for n in names]
assert count == 7 and len(names) == 7, lines
assert sorted(names) == sorted(["b.bmp", "broken.bmp", "a.gif", "d.gif", "c.jpg", "E.jpg", "景色.jpg"]), names
assert kinds == sorted(kinds, key=["bmp", "gif", "jpg"].index), kinds
PY
echo "ok: the browser's folder is listed: $(echo "$got" | tail -n +2 | tr '\n' ' ')"

# A cancelled browser keeps the folder and its list.
click_at 71 63
browser=$(wait_window 'Browse for Folder')
xdotool windowfocus --sync "$browser" key Escape
wait_gone 'Browse for Folder'
sleep 0.5
[ "$(read_list)" = "$got" ] || fail "the list changed after the browser was cancelled: $(read_list)"
echo "ok: cancelling the browser keeps the list"

# Untick "*.gif": the sorted catalogue without them (ordinal: capitals first).
click_at 226 230
expect_list E.jpg b.bmp broken.bmp c.jpg 景色.jpg
echo "ok: without *.gif the list is sorted"

# The 640 x 480 picture: its size and a 100 x 75 nearest-pixel thumbnail.
click_at 60 104 # b.bmp
python3 "$here/panel_check.py" thumbnail "$work/Pics/b.bmp" "$work/thumb.bmp"
expect_preview "$work/thumb.bmp" "the 100 x 75 thumbnail of b.bmp"

# Filter buttons against velmora-fx on the same thumbnail: 7 then 8 shows only 8's effect.
(cd "$work" && wine ./velmora-fx.exe 8 7895040 thumb.bmp fx8.bmp && wine ./velmora-fx.exe 16 2 thumb.bmp fx16.bmp) ||
  fail "velmora-fx failed"
click_at 362 206 # 7
click_at 362 230 # 8
expect_preview "$work/fx8.bmp" "button 8's effect (type 8) on the unfiltered thumbnail"
click_at 450 230 # 32
expect_preview "$work/fx16.bmp" "button 32's effect (type 16 with 2)"
if [ -n "$screenshot_out" ]; then
  import -window root -crop "753x485+${origin_x}+${origin_y}" +repage "$screenshot_out"
fi

# A file that does not load: no thumbnail (the empty box) and the buttons no longer act.
click_at 60 120 # broken.bmp
python3 "$here/panel_check.py" empty-box "$work/empty.bmp"
expect_preview "$work/empty.bmp" "the empty box after a picture that does not load"

# The music file through the real open-file dialog.
click_at 142 422 # "MP3、MAV"
click_at 267 423 # "ﾌｧｲﾙ名"
opener=$(wait_window 'ﾌｧｲﾙを開く')
xdotool windowfocus --sync "$opener"
sleep 0.3
xdotool type --delay 20 "$(windows_path "$work/Music/song.mp3")"
xdotool key Return
wait_gone 'ﾌｧｲﾙを開く'

click_at 591 339 # "設定"
for _ in $(seq 1 250); do
  kill -0 "$dialog_pid" 2>/dev/null || break
  sleep 0.02
done
kill -0 "$dialog_pid" 2>/dev/null && fail "the dialog still runs 5 s after \"設定\""
wait "$dialog_pid" || fail "velmora.scr ended with an error"
dialog_pid=""
python3 - "$work/ヴェルモラ.ini" "$(windows_path "$work/Pics")" "$(windows_path "$work/Music/song.mp3")" <<'PY' ||
import sys
want = ["[Section]", "画像ﾁｪﾝｼﾞ= 0", "画像のｻｲｽﾞ= 1", "ﾌｨﾙﾀ区分= 1", "画像のﾌｫﾙﾀﾞ=" + sys.argv[2],
        "画像種類_0= 1", "画像種類_1= 0", "画像種類_2= 1", "画像種類_3= 1", "BGM区分= 2", "BGMﾘﾋﾟｰﾄ= 0",
        "BGMﾌｧｲﾙ=" + sys.argv[3]]
want = ("\r\n".join(want) + "\r\n").encode("cp932")
got = open(sys.argv[1], "rb").read()
if got != want:
    print("expected:", want)
    print("got:     ", got)
    sys.exit(1)
PY
  fail "the saved settings file is not the expected one"
echo "ok: the settings file holds the folder, the kinds and the music file"

#!/usr/bin/env bash
# End-to-end tests of velmora.scr's settings window under Wine on the current X display:
#   save, dpi144  the window is centred at its size, the faces show the file and follow clicks
#                 on faces and captions; a kind stored as -1 shows unticked and one click ticks
#                 it; the canvas is the core's (velmora-canvas.exe, beside velmora-fx.exe) but
#                 for texts and controls; a read-only file and another user's are kept byte for
#                 byte, the message says why and the window stays; a save that cannot be
#                 written is reported and the window stays; "設定" released outside its face
#                 then writes the exact bytes (the file's own lines kept, missing keys
#                 appended), at 96 and 144 DPI
#   discard       a show or a second window refused while the window is open; "ｷｬﾝｾﾙ", the
#                 system menu's close and Wine's own close box after changes write nothing
#   panels        a folder chosen in the real folder browser by keyboard (a cancelled one keeps
#                 it), its files listed in scan order, "*.gif" unticked, a thumbnail and filter
#                 previews against velmora-fx, a picture that does not load (said within the
#                 size label), an MP3 chosen in the
#                 real open-file dialog, and the saved file's exact bytes
# Usage: dialog_e2e.sh CASE VELMORA_SCR VELMORA_FX DIALOG_PROBE [SCREENSHOT_PNG]
set -euo pipefail

case_name="$1"
screenshot_out="${5:-}"
. "$(dirname "$0")/wine_e2e_lib.sh"
cp "$2" "$work/velmora.scr"
settings="$work/ヴェルモラ.ini"

# A settings file with lines of its own (a comment, a foreign key, another section) that a
# save must keep, and some of the keys missing so that the save appends them.
python3 "$check" write-ini "$settings" cp932 "[Section]" "画像ﾁｪﾝｼﾞ=0" "; kept comment" "画像のｻｲｽﾞ=1" \
  "Foreign=kept" "ﾌｨﾙﾀ区分=1" "BGM区分=0" "画像種類_2=-1" "[Other]" "x=1"
cp "$settings" "$work/settings-before"
expect_unchanged() {
  cmp -s "$work/settings-before" "$settings" || fail "the settings file changed after $1"
  echo "ok: $1 left the settings file byte for byte"
}

start_settings() { start_dialog wine ./velmora.scr /c; }

# Option faces and captions (left edges plus a few pixels), on the canvas.
choose_options() {
  click_at 585 78  # caption "ﾗﾝﾀﾞﾑ"
  click_at 570 134 # face "ｵﾘｼﾞﾅﾙ"
  click_at 585 262 # caption "一画面で同一ﾌｨﾙﾀ"
  click_at 142 382 # face "音楽CD"
}

case "$case_name" in
save | dpi144)
  if [ "$case_name" = dpi144 ]; then
    dpi_key='HKCU\Control Panel\Desktop'
    on_exit+=('wine reg delete "$dpi_key" /v LogPixels /f >/dev/null 2>&1')
    wine reg add "$dpi_key" /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
    scale_num=3 scale_den=2
  fi
  start_settings
  read -r screen_w screen_h < <(xdotool getdisplaygeometry)
  want_w=$(((753 * scale_num + scale_den / 2) / scale_den)) want_h=$(((485 * scale_num + scale_den / 2) / scale_den))
  [ "$canvas_w" -eq "$want_w" ] && [ "$canvas_h" -eq "$want_h" ] ||
    fail "the canvas is ${canvas_w}x${canvas_h}, not ${want_w}x${want_h}"
  # Centred: the frame's sides are equal, and its caption lies above the canvas.
  dx=$((2 * origin_x + canvas_w - screen_w)) dy=$((2 * origin_y + canvas_h - screen_h))
  [ "${dx#-}" -le 2 ] && [ "$dy" -ge 0 ] && [ "$dy" -le $((60 * scale_num / scale_den)) ] ||
    fail "not centred: canvas at $origin_x,$origin_y on a screen ${screen_w}x$screen_h"
  # As the file says: sequential, full screen, random filters, no music.
  expect_faces 564 52 on 564 72 off 564 128 off 564 148 on 564 256 off 564 276 on 136 396 on 136 376 off 136 416 off ||
    fail "the faces do not show the settings file"
  if [ "$scale_num" -eq 1 ]; then
    cp "$(dirname "$3")/velmora-canvas.exe" "$work/velmora-canvas.exe"
    cp "$settings" "$work/canvas.ini"
    expect_core_canvas canvas.ini wine ./velmora-canvas.exe
    expect_region "$skin/check_off.bmp" 220 244
  fi
  choose_options
  expect_faces 564 52 off 564 72 on 564 128 on 564 148 off 564 256 on 564 276 off 136 396 off 136 376 on 136 416 off ||
    fail "the faces do not follow the clicks"
  click_at 226 250 # "*.jpg" (face)
  [ "$scale_num" -ne 1 ] || expect_region "$skin/check_on.bmp" 220 244
  shot_dialog "$screenshot_out"
  roaming=$(ls -d "$WINEPREFIX"/drive_c/users/*/AppData/Roaming | head -n1)
  [ ! -e "$roaming/Velmora" ] || fail "the Wine prefix already has $roaming/Velmora"
  # A read-only file (the attribute is the missing write permission) is never replaced, nor
  # a per-user file written instead: the message says why and the window stays.
  cp "$4" "$work/dialog_probe.exe"
  chmod a-w "$settings"
  click_at 591 339 # "設定"
  wait_window 'ヴェルモラ'
  message=$( (cd "$work" && wine ./dialog_probe.exe message 2>/dev/null) | tr -d '\r')
  grep -q '読み取り専用' <<<"$message" || fail "the message for a read-only file is: $message"
  echo "ok: a read-only file is reported: ${message//$'\n'/ }"
  xdotool windowfocus --sync "$found" key Return
  wait_gone 'ヴェルモラ'
  window_shown "$dialog_title" && ! app_ended || fail "the dialog is gone after the read-only message"
  expect_unchanged "a save onto a read-only file"
  [ ! -e "$roaming/Velmora" ] || fail "a per-user file was written instead of the read-only one"
  chmod u+w "$settings"
  # Another user's file (Wine gives a file of another Unix user another owner) is kept the same way.
  if [ "$(id -u)" -eq 0 ]; then
    chown nobody "$settings"
    click_at 591 339 # "設定"
    wait_window 'ヴェルモラ'
    message=$( (cd "$work" && wine ./dialog_probe.exe message 2>/dev/null) | tr -d '\r')
    grep -q '所有者' <<<"$message" || fail "the message for another user's file is: $message"
    echo "ok: another user's file is reported: ${message//$'\n'/ }"
    xdotool windowfocus --sync "$found" key Return
    wait_gone 'ヴェルモラ'
    window_shown "$dialog_title" && ! app_ended || fail "the dialog is gone after the other-owner message"
    expect_unchanged "a save onto another user's file"
    [ ! -e "$roaming/Velmora" ] || fail "a per-user file was written instead of another user's"
    chown "$(id -u)" "$settings"
  else
    echo "note: another user's file is not tried (giving a file away needs root)"
  fi
  # Neither place can take the file: beside the program a folder holds its name, and the
  # per-user folder cannot be made because a file holds that name.
  mv "$settings" "$work/kept.ini"
  mkdir "$settings"
  on_exit+=('rm -f "$roaming/Velmora"')
  touch "$roaming/Velmora"
  click_at 591 339 # "設定"
  wait_window 'ヴェルモラ'
  echo "ok: a failed save is reported"
  xdotool windowfocus --sync "$found" key Return
  wait_gone 'ヴェルモラ'
  window_shown "$dialog_title" && ! app_ended || fail "the dialog is gone after the message"
  rm "$roaming/Velmora"
  rmdir "$settings"
  mv "$work/kept.ini" "$settings"
  # With the way cleared, "設定" pressed on its face and released outside the window saves:
  # the window was still there to take it.
  # shellcheck disable=SC2046
  xdotool mousemove $(at 591 339) mousedown 1
  sleep 0.3
  xdotool mousemove 5 5 mouseup 1
  expect_exit '"設定" released outside'
  python3 "$check" ini-is "$settings" cp932 "[Section]" "画像ﾁｪﾝｼﾞ= 1" "; kept comment" "画像のｻｲｽﾞ= 0" \
    "Foreign=kept" "ﾌｨﾙﾀ区分= 0" "BGM区分= 1" "画像種類_2= 1" "画像のﾌｫﾙﾀﾞ=" "画像種類_0= 1" "画像種類_1= 1" \
    "画像種類_3= 1" "BGMﾘﾋﾟｰﾄ= 0" "BGMﾌｧｲﾙ=" "[Other]" "x=1" || fail "the saved settings file is not the expected one"
  ;;
discard)
  start_settings
  expect_second_instance /s /c
  choose_options
  click_at 691 339 # "ｷｬﾝｾﾙ"
  expect_exit '"ｷｬﾝｾﾙ"'
  expect_unchanged '"ｷｬﾝｾﾙ"'
  # The system menu's close (what the close box sends) ...
  start_settings
  choose_options
  xdotool windowfocus --sync "$window" key alt+F4
  expect_exit "closing the window"
  expect_unchanged "closing the window"
  # ... and the close box itself, on a frame Wine draws (no window manager draws one here).
  frame_key='HKCU\Software\Wine\AppDefaults\velmora.scr\X11 Driver'
  on_exit+=('wine reg delete "$frame_key" /v Managed /f >/dev/null 2>&1')
  wine reg add "$frame_key" /v Managed /d N /f >/dev/null 2>&1
  start_settings
  choose_options
  xdotool mousemove $((origin_x + canvas_w - 11)) $((origin_y + 12)) click 1
  expect_exit "the close box"
  expect_unchanged "the close box"
  ;;
panels)
  cp "$3" "$work/velmora-fx.exe"
  cp "$4" "$work/dialog_probe.exe"
  python3 "$check" write-ini "$settings" cp932 "[Section]"
  mkdir "$work/Pics" "$work/Music"
  python3 "$check" make-picture 640 480 "$work/Pics/b.bmp"
  python3 "$check" make-picture 320 240 "$work/Pics/a.gif" # listed only, never opened
  for name in d.gif c.jpg E.jpg 景色.jpg .hidden.bmp notes.txt; do
    cp "$work/Pics/a.gif" "$work/Pics/$name"
  done
  head -c 5000 /dev/urandom >"$work/Pics/broken.bmp"
  printf 'not really music' >"$work/Music/song.mp3"
  windows_path() { echo "Z:${1//\//\\}"; }
  # The list as the window holds it (read from outside by the probe): its count, then the names.
  read_list() { list=$( (cd "$work" && wine ./dialog_probe.exe 2>/dev/null) | tr -d '\r'); }
  list_is() { read_list && [ "$list" = "$(printf '%s\n' "$#" "$@")" ]; }
  list_counts() { read_list && [ "$(head -n1 <<<"$list")" = "$1" ]; }
  start_settings
  [ "$canvas_w" -eq 753 ] || fail "the canvas is $canvas_w wide: this test runs at 96 DPI"

  # The folder browser: from the desktop to "/" (drive Z:), then down the tree by typing names.
  click_at 71 63 # "ﾌｫﾙﾀﾞで指定..."
  wait_window 'Browse for Folder'
  xdotool windowfocus --sync "$found"
  sleep 0.3
  xdotool key Down Right
  sleep 0.5
  for part in tmp "$(basename "$work")" Pics; do
    xdotool type --delay 40 "$part"
    sleep 0.6
    xdotool key Right
    sleep 0.6
  done
  xdotool key Return
  wait_gone 'Browse for Folder'
  # Scan order: the bitmaps, then the GIFs, then the JPEGs (each in the folder's own order);
  # the hidden file and the text file are not taken.
  eventually 20 list_counts 7 || fail "the chosen folder is not listed: $list"
  [ "$(tail -n +2 <<<"$list" | sed 's/.*\.//' | tr '[:upper:]' '[:lower:]' | tr '\n' ' ')" = "bmp bmp gif gif jpg jpg jpg " ] &&
    [ "$(tail -n +2 <<<"$list" | sort | tr '\n' ' ')" = "$(printf '%s\n' b.bmp broken.bmp a.gif d.gif c.jpg E.jpg 景色.jpg | sort | tr '\n' ' ')" ] ||
    fail "the chosen folder is not listed as it should be: $list"
  echo "ok: the browser's folder is listed: $(tail -n +2 <<<"$list" | tr '\n' ' ')"

  # A cancelled browser keeps the folder: the list below still comes from it.
  click_at 71 63
  wait_window 'Browse for Folder'
  xdotool windowfocus --sync "$found" key Escape
  wait_gone 'Browse for Folder'
  # Untick "*.gif": the sorted catalogue without them (ordinal: capitals first).
  click_at 226 230
  eventually 20 list_is E.jpg b.bmp broken.bmp c.jpg 景色.jpg || fail "without *.gif the list is: $list"
  echo "ok: the cancelled browser kept the folder; without *.gif the list is sorted"

  click_at 60 104 # b.bmp, 640 x 480
  expect_thumbnail_and_filters "$work/Pics/b.bmp" wine ./velmora-fx.exe
  shot_dialog "$screenshot_out"
  # A file that does not load: no thumbnail (the empty box) and the buttons no longer act.
  expect_short_failure_label click_at 60 120 # broken.bmp

  # The music file through the real open-file dialog.
  click_at 142 422 # "MP3、MAV"
  click_at 267 423 # "ﾌｧｲﾙ名"
  wait_window 'ﾌｧｲﾙを開く'
  xdotool windowfocus --sync "$found"
  sleep 0.3
  xdotool type --delay 20 "$(windows_path "$work/Music/song.mp3")"
  xdotool key Return
  wait_gone 'ﾌｧｲﾙを開く'
  click_at 591 339 # "設定"
  expect_exit '"設定"'
  python3 "$check" ini-is "$settings" cp932 "[Section]" "画像ﾁｪﾝｼﾞ= 0" "画像のｻｲｽﾞ= 1" "ﾌｨﾙﾀ区分= 1" \
    "画像のﾌｫﾙﾀﾞ=$(windows_path "$work/Pics")" "画像種類_0= 1" "画像種類_1= 0" "画像種類_2= 1" "画像種類_3= 1" \
    "BGM区分= 2" "BGMﾘﾋﾟｰﾄ= 0" "BGMﾌｧｲﾙ=$(windows_path "$work/Music/song.mp3")" ||
    fail "the saved settings file is not the expected one"
  ;;
*)
  fail "unknown case $case_name"
  ;;
esac

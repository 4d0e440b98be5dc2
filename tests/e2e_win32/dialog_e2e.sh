#!/usr/bin/env bash
# End-to-end tests of velmora.scr's settings window under Wine on the current X display:
# the window appears centred with the exact title, clicks on faces and captions choose
# options, "設定" writes the settings file's exact bytes, "ｷｬﾝｾﾙ" and closing write nothing.
# Usage: dialog_e2e.sh CASE VELMORA_SCR [SCREENSHOT_PNG]
#   CASE: save | cancel | close | release-outside | second-start | dpi144 | save-fails
set -euo pipefail

case_name="$1"
scr="$2"
screenshot_out="${3:-}"
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/wine_e2e_lib.sh"
title="$dialog_title"

work="$(mktemp -d)"
dialog_pid=""
dpi_key='HKCU\Control Panel\Desktop'
dpi_set=""
blocked_per_user=""
frame_key='HKCU\Software\Wine\AppDefaults\velmora.scr\X11 Driver'
frame_set=""
cleanup() {
  [ -z "$frame_set" ] || wine reg delete "$frame_key" /v Managed /f >/dev/null 2>&1 || true
  [ -z "$blocked_per_user" ] || rm -f "$blocked_per_user"
  [ -z "$dpi_set" ] || wine reg delete "$dpi_key" /v LogPixels /f >/dev/null 2>&1 || true
  if [ -n "$dialog_pid" ] && kill -0 "$dialog_pid" 2>/dev/null; then
    kill "$dialog_pid" 2>/dev/null || true
    wait "$dialog_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

expect_no_per_user_settings

cp "$scr" "$work/velmora.scr"
# A settings file with lines of its own (a comment, a foreign key, another section) that a
# save must keep, and some of the keys missing so that the save appends them.
python3 - "$work" <<'PY'
import sys
lines = ["[Section]", "画像ﾁｪﾝｼﾞ=0", "; kept comment", "画像のｻｲｽﾞ=1", "Foreign=kept", "ﾌｨﾙﾀ区分=1",
         "BGM区分=0", "[Other]", "x=1"]
with open(sys.argv[1] + "/ヴェルモラ.ini", "wb") as f:
    f.write(("\r\n".join(lines) + "\r\n").encode("cp932"))
PY
cp "$work/ヴェルモラ.ini" "$work/settings-before"

start_dialog_and_say() {
  start_dialog
  echo "ok: the window '$title' appeared, canvas ${canvas_w}x${canvas_h} at $origin_x,$origin_y"
}

expect_canvas() {
  local want_w=$(( (753 * scale_num + scale_den / 2) / scale_den )) want_h=$(( (485 * scale_num + scale_den / 2) / scale_den ))
  [ "$canvas_w" -eq "$want_w" ] && [ "$canvas_h" -eq "$want_h" ] ||
    fail "the canvas is ${canvas_w}x${canvas_h}, not ${want_w}x${want_h}"
  # Centred: the frame's sides are equal, and its caption lies above the canvas.
  read -r screen_w screen_h < <(xdotool getdisplaygeometry)
  local dx=$(( 2 * origin_x + canvas_w - screen_w )) dy=$(( 2 * origin_y + canvas_h - screen_h ))
  [ "${dx#-}" -le 2 ] || fail "not centred across: canvas at x $origin_x on a screen $screen_w wide"
  [ "$dy" -ge 0 ] && [ "$dy" -le $(( 60 * scale_num / scale_den )) ] ||
    fail "not centred down: canvas at y $origin_y on a screen $screen_h high"
  echo "ok: ${canvas_w}x${canvas_h}, centred"
}

# Ends within a few seconds with exit code 0.
expect_end() {
  for _ in $(seq 1 250); do
    kill -0 "$dialog_pid" 2>/dev/null || break
    sleep 0.02
  done
  kill -0 "$dialog_pid" 2>/dev/null && fail "the dialog still runs 5 s after $1"
  local rc=0
  wait "$dialog_pid" || rc=$?
  dialog_pid=""
  [ "$rc" -eq 0 ] || fail "velmora.scr ended with exit code $rc after $1"
  echo "ok: $1 ended the dialog"
}

expect_unchanged() {
  cmp -s "$work/settings-before" "$work/ヴェルモラ.ini" || fail "the settings file changed after $1"
  echo "ok: $1 left the settings file byte for byte"
}

shot() {
  [ -n "$screenshot_out" ] || return 0
  import -window root -crop "${canvas_w}x${canvas_h}+${origin_x}+${origin_y}" +repage "$screenshot_out"
}

# Checks the faces on the screen: pairs of face corner (canvas, 96 DPI) and "on" or "off".
# A selected face has an amber centre, an unselected one a white well.
expect_faces() {
  import -window root -depth 8 "ppm:$work/screen.ppm"
  python3 - "$work/screen.ppm" "$origin_x" "$origin_y" "$scale_num" "$scale_den" "$@" <<'PY'
import sys
path, ox, oy, num, den = sys.argv[1], *map(int, sys.argv[2:6])
faces = sys.argv[6:]
data = open(path, "rb").read()
parts = data.split(b"\n", 3)
width, height = map(int, parts[1].split())
pixels = parts[3]
bad = []
for i in range(0, len(faces), 3):
    x, y, want = int(faces[i]), int(faces[i + 1]), faces[i + 2]
    px, py = ox + (x * 2 + 13) * num // (2 * den), oy + (y * 2 + 13) * num // (2 * den)
    r, g, b = pixels[(py * width + px) * 3:(py * width + px) * 3 + 3]
    got = "on" if r > 180 and 110 < g < 200 and b < 110 else "off" if min(r, g, b) > 190 else f"rgb({r},{g},{b})"
    if got != want:
        bad.append(f"face at {x},{y}: {got}, not {want}")
if bad:
    print("\n".join(bad))
    sys.exit(1)
PY
}

# Option faces and captions (left edges plus a few pixels), on the canvas.
choose_options() {
  click_at 585 78  # caption "ﾗﾝﾀﾞﾑ"
  click_at 570 134 # face "ｵﾘｼﾞﾅﾙ"
  click_at 585 262 # caption "一画面で同一ﾌｨﾙﾀ"
  click_at 142 382 # face "音楽CD"
}

case "$case_name" in
save)
  start_dialog_and_say
  expect_canvas
  # As the file says: sequential, full screen, random filters, no music.
  expect_faces 564 52 on 564 72 off 564 128 off 564 148 on 564 256 off 564 276 on 136 396 on 136 376 off 136 416 off ||
    fail "the faces do not show the settings file"
  choose_options
  expect_faces 564 52 off 564 72 on 564 128 on 564 148 off 564 256 on 564 276 off 136 396 off 136 376 on 136 416 off ||
    fail "the faces do not follow the clicks"
  echo "ok: the faces show the file's settings and follow the clicks"
  shot
  click_at 591 339 # "設定"
  expect_end '"設定"'
  python3 - "$work/ヴェルモラ.ini" <<'PY' || fail "the saved settings file is not the expected one"
import sys
want = ["[Section]", "画像ﾁｪﾝｼﾞ= 1", "; kept comment", "画像のｻｲｽﾞ= 0", "Foreign=kept", "ﾌｨﾙﾀ区分= 0",
        "BGM区分= 1", "画像のﾌｫﾙﾀﾞ=", "画像種類_0= 1", "画像種類_1= 1", "画像種類_2= 1", "画像種類_3= 1",
        "BGMﾘﾋﾟｰﾄ= 0", "BGMﾌｧｲﾙ=", "[Other]", "x=1"]
want = ("\r\n".join(want) + "\r\n").encode("cp932")
got = open(sys.argv[1], "rb").read()
if got != want:
    print("expected:", want)
    print("got:     ", got)
    sys.exit(1)
PY
  echo "ok: the settings file holds the expected bytes"
  ;;
cancel)
  start_dialog_and_say
  choose_options
  click_at 691 339 # "ｷｬﾝｾﾙ"
  expect_end '"ｷｬﾝｾﾙ"'
  expect_unchanged '"ｷｬﾝｾﾙ"'
  ;;
close)
  start_dialog_and_say
  choose_options
  # The system menu's close (what the close box sends) ...
  xdotool windowfocus --sync "$window" key alt+F4
  expect_end "closing the window"
  expect_unchanged "closing the window"
  # ... and the close box itself, on a frame Wine draws (no window manager draws one here).
  frame_set=1
  wine reg add "$frame_key" /v Managed /d N /f >/dev/null 2>&1
  start_dialog_and_say
  choose_options
  xdotool mousemove $((origin_x + canvas_w - 11)) $((origin_y + 12)) click 1
  expect_end "the close box"
  expect_unchanged "the close box"
  ;;
release-outside)
  start_dialog_and_say
  click_at 585 78 # "ﾗﾝﾀﾞﾑ"
  # shellcheck disable=SC2046
  xdotool mousemove $(at 591 339) mousedown 1
  sleep 0.3
  kill -0 "$dialog_pid" 2>/dev/null || fail "the press alone ended the dialog"
  expect_unchanged "the press alone"
  dialog_pid_kept=$dialog_pid
  xdotool mousemove 5 5 mouseup 1
  expect_end "a release outside the window"
  grep -q "$(printf '画像ﾁｪﾝｼﾞ= 1' | iconv -f utf-8 -t cp932)" "$work/ヴェルモラ.ini" ||
    fail "the release outside did not save (pid $dialog_pid_kept)"
  echo "ok: the release outside the button saved"
  ;;
second-start)
  start_dialog_and_say
  for mode in /s /c; do
    started=$(date +%s%N)
    rc=0
    # shellcheck disable=SC2086
    (cd "$work" && timeout 20 wine ./velmora.scr $mode) || rc=$?
    elapsed_ms=$(( ($(date +%s%N) - started) / 1000000 ))
    [ "$rc" -eq 2 ] || fail "'$mode' started while the dialog is open ended with $rc, not as a second instance"
    echo "ok: '$mode' while the dialog is open ended at once ($elapsed_ms ms)"
  done
  kill -0 "$dialog_pid" 2>/dev/null || fail "the dialog ended after the second starts"
  click_at 691 339
  expect_end '"ｷｬﾝｾﾙ"'
  ;;
dpi144)
  dpi_set=1
  wine reg add "$dpi_key" /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
  scale_num=3
  scale_den=2
  start_dialog_and_say
  expect_canvas
  choose_options
  expect_faces 564 52 off 564 72 on 564 128 on 564 148 off 564 256 on 564 276 off 136 396 off 136 376 on 136 416 off ||
    fail "at 144 DPI the faces do not follow the clicks"
  shot
  click_at 591 339
  expect_end '"設定" at 144 DPI'
  grep -q "$(printf 'BGM区分= 1' | iconv -f utf-8 -t cp932)" "$work/ヴェルモラ.ini" ||
    fail "the clicks at 144 DPI did not reach the options"
  echo "ok: at 144 DPI the clicks chose the options"
  ;;
save-fails)
  # Neither place can take the file: beside the program a folder holds its name, and the
  # per-user folder cannot be made because a file holds that name.
  start_dialog_and_say
  rm "$work/ヴェルモラ.ini"
  mkdir "$work/ヴェルモラ.ini"
  roaming=$(ls -d "$WINEPREFIX"/drive_c/users/*/AppData/Roaming | head -n1)
  [ ! -e "$roaming/Velmora" ] || fail "the Wine prefix already has $roaming/Velmora"
  blocked_per_user="$roaming/Velmora"
  touch "$blocked_per_user"
  click_at 591 339 # "設定"
  message=""
  for _ in $(seq 1 100); do
    message=$(xdotool search --onlyvisible --name '^ヴェルモラ$' 2>/dev/null | head -n1 || true)
    [ -z "$message" ] || break
    kill -0 "$dialog_pid" 2>/dev/null || fail "the dialog ended although nothing could be saved"
    sleep 0.1
  done
  [ -n "$message" ] || fail "no message box after a failed save"
  echo "ok: a failed save is reported"
  xdotool windowfocus --sync "$message" key Return
  sleep 0.5
  kill -0 "$dialog_pid" 2>/dev/null || fail "the dialog ended after the message"
  xdotool search --onlyvisible --name "^$title\$" >/dev/null || fail "the dialog window is gone after the message"
  echo "ok: the dialog stays open"
  # With the way cleared the same button saves.
  rm -f "$blocked_per_user"
  blocked_per_user=""
  rmdir "$work/ヴェルモラ.ini"
  click_at 591 339
  expect_end '"設定" once the file can be written'
  [ -s "$work/ヴェルモラ.ini" ] || fail "nothing was saved the second time"
  ;;
*)
  fail "unknown case $case_name"
  ;;
esac

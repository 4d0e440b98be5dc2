#!/usr/bin/env bash
# The settings window (velmora --settings) as a native Wayland client under a headless sway
# with no X server at all, driven through the compositor's seat:
#   save      the canvas is the core's for the stored file (velmora-canvas) but for texts and
#             controls; a second window refuses to open; pointer clicks change the options,
#             the keyboard types the repeat track; "設定", released outside its face, writes
#             the file in its own encoding and ends the program
#   choosers  with DISPLAY naming an X server that is not there: the folder chooser opens as a
#             Wayland window and takes a typed folder, whose first picture shows its thumbnail
#             and filter buttons their effects (velmora-fx); a second folder chooser cancelled
#             keeps the folder; the music file comes from the file chooser; "設定" saves both
#   measure   instead of a test: the time from starting the window (as root, on the user's
#             compositor) to the compositor mapping it, with an empty folder and with 30,000 pictures in the settings file, RUNS times
#             each (median, min, max; as scripts/measure-dialog-start does on X; never asserted)
# Usage: settings_wayland_e2e.sh CASE VELMORA VELMORA_FX [RUNS]
set -euo pipefail

case_name="$1"
velmora=$(readlink -f "$2")
fx=$(readlink -f "$3")
e2e_on_wayland=1
wl_user="${VELMORA_WL_USER:-velmora-wl-settings}" # another name keeps parallel runs apart
. "$(dirname "$0")/../e2e_lib.sh"
. "$(dirname "$0")/wayland_lib.sh"
user_file="$work/config/velmora/ヴェルモラ.ini"

# The chooser titled $1 shows; the path $2, typed into its location box, is accepted with its
# button (an empty path: cancelled with the other). The chooser takes keys a moment after it
# shows, and "/" opens the location box only after it has taken it: what is typed in between is
# lost.
choose_path() {
  wait_window "$1"
  local x y w shell
  read -r x y w _ shell <<<"$found"
  [ "$shell" = xdg_shell ] || fail "the chooser '$1' is a $shell client, not a native Wayland one"
  if [ -n "$2" ]; then
    sleep 0.5
    as_user wtype /
    sleep 0.5
    as_user wtype -d 30 "${2#/}"
    sleep 0.3 # the location box completes the name as it is typed
    pointer_click $((x + w / 2)) $((y + 22)) # on the title: closes the completion's popup, if any
    pointer_click $((x + w - 30)) $((y + 22)) # the accepting button, at the header's right end
  else
    pointer_click $((x + 30)) $((y + 22)) # "Cancel", at its left end
  fi
  wait_gone "$1"
}

mkdir -p "$(dirname "$user_file")"
start_compositor
case "$case_name" in
save)
  python3 "$check" write-ini "$user_file" cp932 "[Section]" "画像ﾁｪﾝｼﾞ= 1" "画像のｻｲｽﾞ= 0" "ﾌｨﾙﾀ区分= 0" \
    "画像のﾌｫﾙﾀﾞ=" "画像種類_0= 1" "画像種類_1= 1" "画像種類_2= 1" "画像種類_3= 1" "BGM区分= 0" "BGMﾘﾋﾟｰﾄ= 0" "BGMﾌｧｲﾙ="
  chown -R "$wl_user" "$work"
  start_dialog "$velmora" --settings
  expect_core_canvas "$user_file" "$(dirname "$fx")/velmora-canvas"
  rc=0
  as_user "$velmora" -c >"$work/second.log" 2>&1 || rc=$?
  [ "$rc" -eq 2 ] || fail "a second settings window opened beside the first (exit code $rc)"
  echo "ok: a second settings window refused to open"
  click_at 570 58  # "ｼｰｹﾝｼｬﾙ" (face)
  click_at 600 154 # "ﾌﾙｽｸﾘｰﾝ" (caption)
  click_at 570 282 # "一画面でﾗﾝﾀﾞﾑﾌｨﾙﾀ" (face)
  click_at 142 382 # "音楽CD" (face): the repeat box opens
  expect_faces 564 52 on 564 72 off 564 128 off 564 148 on 564 256 off 564 276 on 136 376 on 136 396 off ||
    fail "the clicks did not change the options as they should"
  click_at 208 382 # the repeat box's text
  as_user wtype -M ctrl a -m ctrl 3
  # "設定" pressed on its face and released outside it still saves.
  # shellcheck disable=SC2046
  cursor set $(at 591 339)
  cursor press button1
  # shellcheck disable=SC2046
  cursor set $(at 300 200)
  cursor release button1
  expect_exit '"設定"'
  expect_file "$user_file" cp932 "[Section]" "画像ﾁｪﾝｼﾞ= 0" "画像のｻｲｽﾞ= 1" "ﾌｨﾙﾀ区分= 1" "画像のﾌｫﾙﾀﾞ=" \
    "画像種類_0= 1" "画像種類_1= 1" "画像種類_2= 1" "画像種類_3= 1" "BGM区分= 1" "BGMﾘﾋﾟｰﾄ= 3" "BGMﾌｧｲﾙ="
  echo "ok: the settings file holds the clicked and typed values"
  ;;
choosers)
  mkdir "$work/Pics" "$work/Music"
  convert -size 480x640 gradient:'#ffff00-#0000ff' -fill '#20c040' -draw 'rectangle 100,100 300,260' \
    -type TrueColor "BMP3:$work/Pics/z.bmp"
  cp "$work/Pics/z.bmp" "$work/Music/song.mp3" # the chooser only looks at the name
  chown -R "$wl_user" "$work"
  folder_chooser="ﾌｫﾙﾀﾞをｸﾘｯｸして選択状態にしてから ＯＫ を押してください"
  start_dialog DISPLAY=:99 "$velmora" -c
  click_at 71 63 # "ﾌｫﾙﾀﾞで指定..."
  choose_path "$folder_chooser" "$work/Pics"
  click_at 60 90 # the folder's one picture
  expect_thumbnail_and_filters "$work/Pics/z.bmp" "$fx"
  expect_music_chosen_and_saved
  echo "ok: the chosen folder and music file were saved"
  ;;
measure)
  mkdir "$work/empty" "$work/pictures"
  (cd "$work/pictures" && seq -f "picture-%05g.jpg" 1 30000 | xargs touch)
  chown -R "$wl_user" "$work"
  mapped_after() { # FOLDER: milliseconds from the start to the window's first frame on the output
    python3 "$check" write-ini "$work/measure.ini" cp932 "[Section]" "画像のﾌｫﾙﾀﾞ=$work/$1"
    chown "$wl_user" "$work/measure.ini"
    as_user swaymsg -t subscribe '["window"]' >/dev/null &
    local subscriber=$! started
    sleep 0.3 # the subscription is in place
    # Started by root on the user's compositor: the user switch would add its own start-up.
    started=$(date +%s%N)
    (cd "$work" && exec env -i HOME="$work" XDG_RUNTIME_DIR="$work/run" WAYLAND_DISPLAY="$wayland" LANG=C.UTF-8 \
      GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1 "$velmora" -c --ini "$work/measure.ini") >"$app_log" 2>&1 &
    app_pid=$!
    wait "$subscriber"
    echo $((($(date +%s%N) - started) / 1000000))
    wait_window "$dialog_title"
    stop_app
    wait_gone "$dialog_title"
  }
  for folder in empty pictures; do
    for _ in $(seq 1 "${4:-9}"); do mapped_after "$folder"; done | sort -n |
      awk -v f="$folder" '{ a[NR] = $1 } END { printf "%s: median %d ms (min %d, max %d)\n", f, a[int((NR + 1) / 2)], a[1], a[NR] }'
  done
  ;;
*)
  fail "unknown case $case_name"
  ;;
esac

#!/usr/bin/env bash
# End-to-end tests of velmora.scr's show under Wine on the current X display: what the
# screen shows, which inputs end the show, and a second start while it runs.
# Usage: show_e2e.sh CASE VELMORA_SCR FAKE_PASSWORD_CPL [SCREENSHOT_PNG]
#   CASE: picture | desktop | mouse | music | password | kinds
set -euo pipefail

case_name="$1"
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/wine_e2e_lib.sh"

# The program in a folder of its own with the settings file beside it, naming a folder
# with one picture the size of the screen (drawn 1:1, so every pixel is known); for the
# desktop case an empty folder, and the picture is on the desktop instead.
read -r screen_w screen_h < <(xdotool getdisplaygeometry)
mkdir -p "$work/pictures" "$work/empty"
cp "$2" "$work/velmora.scr"
python3 "$check" make-picture "$screen_w" "$screen_h" "$work/test.bmp"
[ "$case_name" = desktop ] || cp "$work/test.bmp" "$work/pictures/test.bmp"

windows_path() { echo "Z:${1//\//\\}"; }
# The settings file (code page 932): the picture folder, the music kind and file.
write_settings() {
  python3 "$check" write-ini "$work/ヴェルモラ.ini" cp932 "[Section]" "画像のｻｲｽﾞ= 1" "ﾌｨﾙﾀ区分= 1" \
    "画像のﾌｫﾙﾀﾞ=$(windows_path "$work/$1")" "BGM区分= $2" ${3:+"BGMﾌｧｲﾙ=$(windows_path "$work/$3")"}
  cp "$work/ヴェルモラ.ini" "$work/settings-before"
}
write_settings "$([ "$case_name" = desktop ] && echo empty || echo pictures)" 0

screen_shows() { shot "$2" && python3 "$check" "$1" "$work/$2.ppm"; } # CHECK NAME

# Starts the show with the given arguments and waits for its window and its first frame (its
# grid on the screen), shot as start.ppm.
start_show() {
  start_app wine ./velmora.scr "$@"
  wait_window Velmora_Main
  eventually 30 screen_shows check-grid start >/dev/null || fail "the show's first frame did not come within 30 s"
}

# True once the screen has changed `count` times (at most 30 s). The show takes the input
# already sent to it before it runs a timer, so after two changes that input has reached it.
screen_changes() {
  local count="$1" last next end=$((SECONDS + 30))
  last=$(import -window root -depth 8 ppm:- | md5sum)
  while [ "$count" -gt 0 ]; do
    [ "$SECONDS" -lt "$end" ] || return 1
    sleep 0.1
    next=$(import -window root -depth 8 ppm:- | md5sum)
    [ "$next" = "$last" ] || count=$((count - 1)) last="$next"
  done
}

expect_running() {
  screen_changes 2 || app_ended || fail "the screen stood still after $1"
  app_ended && fail "the show ended after $1"
  return 0
}

expect_end() {
  expect_exit "$1"
  cmp -s "$work/settings-before" "$work/ヴェルモラ.ini" || fail "the settings file changed"
}

# Puts the pointer in the middle, wherever the test before left it, so that moves of a few
# hundred pixels stay on the screen; no --sync: it may be there already.
pointer_to_middle() { xdotool mousemove $((screen_w / 2)) $((screen_h / 2)); }
move_through() { # points "x y" ...; each move is known to have happened before the next
  local point
  for point in "$@"; do
    # shellcheck disable=SC2086
    timeout 10 xdotool mousemove --sync $point
  done
}

case "$case_name" in
picture)
  # A bare X server whose input focus is None, as a window that had it and went away leaves
  # it: the show must take the focus itself for a key to reach it.
  xdotool windowfocus 0
  ! xdotool getwindowfocus >/dev/null 2>&1 || fail "the X focus could not be set to None"
  start_show /s
  python3 "$check" check-start "$work/start.ppm" || fail "the show does not start with the picture and its grid"
  eventually 30 screen_shows check-later later >/dev/null || fail "no tiles were filtered within 30 s"
  [ -z "${4:-}" ] || convert "$work/later.ppm" "$4"
  expect_second_instance /s /S /c "/p 1234" /a ""
  expect_running "the second starts"
  xdotool key x
  expect_end "a key press"
  ;;
desktop)
  # Without pictures the show works on a copy of the desktop: here an X window showing
  # the test picture, outside Wine. The copy must hold it, grid lines drawn over it.
  display -geometry +0+0 -borderwidth 0 "$work/test.bmp" &
  viewer_pid=$!
  on_exit+=('kill $viewer_pid')
  eventually 30 screen_shows check-picture viewer >/dev/null || fail "the picture viewer did not show the picture"
  start_show /s
  kill "$viewer_pid"
  python3 "$check" check-start "$work/start.ppm" || fail "the show does not start on the desktop's copy"
  xdotool key x
  expect_end "a key press"
  ;;
mouse)
  pointer_to_middle
  start_show /s
  eval "$(xdotool getmouselocation --shell)"
  # Straight lines from where the mouse was: right, back left past the start, up and down.
  move_through "$((X + 50)) $Y" "$((X + 300)) $Y" "$((X - 200)) $Y" "$((X - 1)) $Y"
  expect_running "a horizontal movement"
  move_through "$X $((Y + 200))" "$X $((Y - 150))"
  expect_running "a vertical movement"
  xdotool mousemove $((X + 1)) $((Y + 1))
  expect_end "a one-pixel diagonal movement"
  # Without arguments no movement ends the show, but a click does.
  pointer_to_middle
  start_show
  eval "$(xdotool getmouselocation --shell)"
  move_through "$((X + 100)) $((Y + 100))" "$((X - 300)) $((Y + 50))" "10 10"
  expect_running "diagonal movements without arguments"
  xdotool click 1
  expect_end "a click"
  ;;
music)
  # An MP3 plays with the show (the process holds the file open), and with file music the
  # arrow keys end the show like any other key.
  export ALSA_CONFIG_PATH="$here/../music/alsa-null.conf" # no sound card needed
  sox -q -n -r 44100 -c 2 "$work/tone.wav" synth 30 sine 440
  lame --quiet "$work/tone.wav" "$work/tone.mp3"
  write_settings pictures 2 tone.mp3
  start_show /s
  mp3_open() { ls -l "/proc/$app_pid/fd" 2>/dev/null | grep -q "tone\.mp3"; }
  eventually 30 mp3_open || fail "the MP3 is not open while the show runs"
  xdotool key Right
  expect_end "the right arrow with MP3 music"
  # With audio-CD music (no drive here) the arrows change tracks and the show goes on.
  write_settings pictures 1
  start_show /s
  xdotool key Left Right
  expect_running "the arrow keys with CD music"
  xdotool key space
  expect_end "the space bar with CD music"
  ;;
password)
  # Windows 95/98, as Wine reports it to velmora.scr alone while this case runs, with a
  # stand-in password service beside the program.
  version_key='HKCU\Software\Wine\AppDefaults\velmora.scr'
  on_exit+=('wine reg delete "$version_key" /f >/dev/null 2>&1')
  wine reg add "$version_key" /v Version /t REG_SZ /d win98 /f >/dev/null 2>&1
  cp "$3" "$work/password.cpl"
  asked() { [ -f "$work/asked" ] && wc -l <"$work/asked" || echo 0; }
  asked_once() { [ "$(asked)" -eq 1 ]; }
  start_show /s
  xdotool key x
  eventually 30 asked_once || fail "the password was asked $(asked) times, not once"
  expect_running "a refused password"
  asked_once || fail "the password was asked $(asked) times, not once"
  grep -q "parent=show cursor=shown" "$work/asked" || fail "the password dialog: $(cat "$work/asked")"
  touch "$work/accept"
  xdotool click 1
  expect_end "the right password"
  [ "$(asked)" -eq 2 ] || fail "the password was not asked again after a refusal"
  # Started without arguments the show asks nothing.
  start_show
  xdotool key x
  expect_end "a key without arguments"
  [ "$(asked)" -eq 2 ] || fail "the password was asked without arguments"
  # Without the service the show ends: the user is never locked in.
  rm "$work/password.cpl" "$work/accept"
  start_show /s
  xdotool key x
  expect_end "a key with no password service"
  ;;
kinds)
  # PNG and TIFF come through the codecs every Windows has: each, alone in the folder, is
  # shown as the show starts. A HEIC, for which Wine has no codec, fails to load: the show
  # goes on, on black, and a key still ends it.
  for kind in png tif heic; do
    rm -f "$work/pictures/"*
    convert "$work/test.bmp" "$work/pictures/test.$kind"
    if [ "$kind" = heic ]; then
      start_app wine ./velmora.scr /s
      wait_window Velmora_Main
      expect_running "a picture without a codec"
      # Black but for the few tiles filtered so far.
      shot heic && [ "$(convert "$work/heic.ppm" -format '%[fx:mean < 0.1]' info:)" = 1 ] ||
        fail "a picture that cannot be loaded did not leave the screen black"
    else
      start_show /s
      python3 "$check" check-start "$work/start.ppm" || fail "the show does not start with the $kind picture"
    fi
    xdotool key x
    expect_end "a key press on the $kind show"
  done
  ;;
*)
  fail "unknown case $case_name"
  ;;
esac

#!/usr/bin/env bash
# End-to-end tests of velmora.scr's show under Wine on the current X display: what the
# screen shows, which inputs end the show, and a second start while it runs.
# Usage: show_e2e.sh CASE VELMORA_SCR FAKE_PASSWORD_CPL [SCREENSHOT_PNG]
#   CASE: picture | desktop | mouse | no-arguments | music | password | second-start
set -euo pipefail

case_name="$1"
scr="$2"
fake_cpl="$3"
screenshot_out="${4:-}"
here="$(cd "$(dirname "$0")" && pwd)"
check="$here/screen_check.py"

. "$here/wine_e2e_lib.sh"

work="$(mktemp -d)"
show_pid=""
viewer_pid=""
version_key='HKCU\Software\Wine\AppDefaults\velmora.scr'
pretend_win98=""
cleanup() {
  [ -z "$pretend_win98" ] || wine reg delete "$version_key" /f >/dev/null 2>&1 || true
  [ -z "$viewer_pid" ] || kill "$viewer_pid" 2>/dev/null || true
  if [ -n "$show_pid" ] && kill -0 "$show_pid" 2>/dev/null; then
    kill "$show_pid" 2>/dev/null || true
    wait "$show_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

expect_no_per_user_settings

# The program in a folder of its own with the settings file beside it, naming a folder
# with one picture the size of the screen (drawn 1:1, so every pixel is known); for the
# desktop case an empty folder, and the picture is on the desktop instead.
read -r screen_w screen_h < <(xdotool getdisplaygeometry)
mkdir -p "$work/pictures" "$work/empty"
cp "$scr" "$work/velmora.scr"
python3 "$check" make-picture "$screen_w" "$screen_h" "$work/test.bmp"
folder=pictures
if [ "$case_name" = desktop ]; then
  folder=empty
else
  cp "$work/test.bmp" "$work/pictures/test.bmp"
fi

# Writes the settings file (code page 932): the picture folder, the music kind and file.
write_settings() {
  python3 - "$work" "$1" "$2" "${3:-}" <<'EOF'
import sys
work, name, bgm_kind, bgm_file = sys.argv[1:5]
windows = lambda path: "Z:" + path.replace("/", "\\")
lines = ["[Section]", "画像のﾌｫﾙﾀﾞ=" + windows(f"{work}/{name}"), "画像のｻｲｽﾞ= 1", "ﾌｨﾙﾀ区分= 1",
         "BGM区分= " + bgm_kind]
if bgm_file:
    lines.append("BGMﾌｧｲﾙ=" + windows(f"{work}/{bgm_file}"))
with open(f"{work}/ヴェルモラ.ini", "wb") as f:
    f.write(("\r\n".join(lines) + "\r\n").encode("cp932"))
EOF
  cp "$work/ヴェルモラ.ini" "$work/settings-before"
}
write_settings "$folder" 0

shot() {
  import -window root -depth 8 "ppm:$work/$1.ppm"
}

# Runs the command until it succeeds, every 0.2 s, for at most `seconds`; false after that.
eventually() {
  local seconds="$1" end
  shift
  end=$(($(date +%s) + seconds))
  until "$@" >/dev/null 2>&1; do
    [ "$(date +%s)" -lt "$end" ] || return 1
    sleep 0.2
  done
}

screen_shows() { # CHECK NAME: the screen, shot as NAME, passes screen_check.py's CHECK
  shot "$2" && python3 "$check" "$1" "$work/$2.ppm"
}

# Starts the show with the given arguments and waits for its window and its first frame (its
# grid on the screen), shot as start.ppm.
start_show() {
  (cd "$work" && exec wine ./velmora.scr "$@") &
  show_pid=$!
  show_window() {
    kill -0 "$show_pid" 2>/dev/null || fail "the show ended before its window appeared"
    xdotool search --name '^Velmora_Main$'
  }
  eventually 30 show_window || fail "no show window after 30 s"
  eventually 30 screen_shows check-grid start || fail "the show's first frame did not come within 30 s"
}

# Waits until the screen has changed `count` times (at most 30 s). The show takes the input
# already sent to it before it runs a timer, so after two changes that input has reached it.
screen_changes() {
  local count="$1" last next end
  end=$(($(date +%s) + 30))
  last=$(import -window root -depth 8 ppm:- | md5sum)
  while [ "$count" -gt 0 ]; do
    [ "$(date +%s)" -lt "$end" ] || return 1
    sleep 0.1
    next=$(import -window root -depth 8 ppm:- | md5sum)
    if [ "$next" != "$last" ]; then
      count=$((count - 1))
      last="$next"
    fi
  done
}

# True when the show process is gone within `seconds`.
ends_within() {
  local seconds="$1" steps
  steps=$(awk -v s="$seconds" 'BEGIN { print int(s * 50) }')
  for _ in $(seq 1 "$steps"); do
    kill -0 "$show_pid" 2>/dev/null || return 0
    sleep 0.02
  done
  ! kill -0 "$show_pid" 2>/dev/null
}

expect_running() {
  screen_changes 2 || { kill -0 "$show_pid" 2>/dev/null && fail "the screen stood still after $1"; }
  kill -0 "$show_pid" 2>/dev/null || fail "the show ended after $1"
}

expect_end() {
  ends_within 1 || fail "the show still runs a second after $1"
  local rc=0
  wait "$show_pid" || rc=$?
  show_pid=""
  [ "$rc" -eq 0 ] || fail "the show ended with exit code $rc after $1"
  cmp -s "$work/settings-before" "$work/ヴェルモラ.ini" || fail "the settings file changed"
  echo "ok: $1 ended the show"
}

case "$case_name" in
picture)
  # A bare X server whose input focus is None, as a window that had it and went away leaves
  # it: the show must take the focus itself for a key to reach it.
  xdotool windowfocus 0
  ! xdotool getwindowfocus >/dev/null 2>&1 || fail "the X focus could not be set to None"
  start_show /s
  python3 "$check" check-start "$work/start.ppm" || fail "the show does not start with the picture and its grid"
  eventually 30 screen_shows check-later later || fail "no tiles were filtered within 30 s"
  if [ -n "$screenshot_out" ]; then
    convert "$work/later.ppm" "$screenshot_out"
  fi
  xdotool key x
  expect_end "a key press"
  ;;
desktop)
  # Without pictures the show works on a copy of the desktop: here an X window showing
  # the test picture, outside Wine. The copy must hold it, grid lines drawn over it.
  display -geometry +0+0 -borderwidth 0 "$work/test.bmp" &
  viewer_pid=$!
  eventually 30 screen_shows check-picture viewer || fail "the picture viewer did not show the picture"
  start_show /s
  kill "$viewer_pid" 2>/dev/null || true
  python3 "$check" check-start "$work/start.ppm" || fail "the show does not start on the desktop's copy"
  xdotool key x
  expect_end "a key press"
  ;;
mouse)
  # The moves below reach 200 pixels left of the pointer and 150 above it: start it in the
  # middle, wherever the test before left it.
  eval "$(xdotool getdisplaygeometry --shell)"
  xdotool mousemove $((WIDTH / 2)) $((HEIGHT / 2)) # no --sync: it may be there already
  start_show /s
  eval "$(xdotool getmouselocation --shell)"
  x0=$X
  y0=$Y
  # Straight lines from where the mouse was: right, back left past the start, up and down.
  for x in $((x0 + 50)) $((x0 + 300)) $((x0 - 200)) $((x0 - 1)); do
    timeout 10 xdotool mousemove --sync "$x" "$y0"
  done
  expect_running "a horizontal movement"
  for y in $((y0 + 200)) $((y0 - 150)); do
    timeout 10 xdotool mousemove --sync "$x0" "$y"
  done
  expect_running "a vertical movement"
  xdotool mousemove $((x0 + 1)) $((y0 + 1))
  expect_end "a one-pixel diagonal movement"
  ;;
no-arguments)
  # The moves below reach 300 pixels left of the pointer: start it in the middle, wherever
  # the test before left it.
  eval "$(xdotool getdisplaygeometry --shell)"
  xdotool mousemove $((WIDTH / 2)) $((HEIGHT / 2)) # no --sync: it may be there already
  start_show
  eval "$(xdotool getmouselocation --shell)"
  for point in "$((X + 100)) $((Y + 100))" "$((X - 300)) $((Y + 50))" "10 10"; do
    # shellcheck disable=SC2086
    timeout 10 xdotool mousemove --sync $point
  done
  expect_running "diagonal movements without arguments"
  xdotool click 1
  expect_end "a click"
  ;;
music)
  # An MP3 plays with the show (the process holds the file open), and with file music the
  # arrow keys end the show like any other key.
  export ALSA_CONFIG_PATH="$here/../win32_music/alsa-null.conf" # no sound card needed
  sox -q -n -r 44100 -c 2 "$work/tone.wav" synth 30 sine 440
  lame --quiet "$work/tone.wav" "$work/tone.mp3"
  write_settings pictures 2 tone.mp3
  start_show /s
  mp3_open() { ls -l "/proc/$show_pid/fd" 2>/dev/null | grep -q "tone\.mp3"; }
  eventually 30 mp3_open || fail "the MP3 is not open while the show runs"
  xdotool key Right
  expect_end "the right arrow with MP3 music"
  # With audio-CD music (no drive here) the arrows change tracks and the show goes on.
  write_settings pictures 1
  start_show /s
  xdotool key Left
  xdotool key Right
  expect_running "the arrow keys with CD music"
  xdotool key space
  expect_end "the space bar with CD music"
  ;;
password)
  # Windows 95/98, as Wine reports it to velmora.scr alone while this case runs, with a
  # stand-in password service beside the program.
  pretend_win98=1
  wine reg add "$version_key" /v Version /t REG_SZ /d win98 /f >/dev/null 2>&1
  cp "$fake_cpl" "$work/password.cpl"
  asked() { [ -f "$work/asked" ] && wc -l <"$work/asked" || echo 0; }
  start_show /s
  xdotool key x
  asked_once() { [ "$(asked)" -eq 1 ]; }
  eventually 30 asked_once || fail "the password was asked $(asked) times, not once"
  expect_running "a refused password"
  [ "$(asked)" -eq 1 ] || fail "the password was asked $(asked) times, not once"
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
second-start)
  start_show /s
  for mode in /s /S /c "/p 1234" /a ""; do
    started=$(date +%s%N)
    rc=0
    # A second show that did open would run until the timeout (exit code 124).
    # shellcheck disable=SC2086
    (cd "$work" && timeout 20 wine ./velmora.scr $mode) || rc=$?
    elapsed_ms=$(( ($(date +%s%N) - started) / 1000000 ))
    [ "$rc" -eq 2 ] || fail "a second start with '$mode' ended with $rc, not as a second instance"
    [ "$elapsed_ms" -lt 5000 ] || fail "a second start with '$mode' took $elapsed_ms ms"
    echo "ok: a second start with '$mode' ended at once ($elapsed_ms ms)"
  done
  expect_running "the second starts"
  xdotool key Escape
  expect_end "Escape"
  ;;
*)
  fail "unknown case $case_name"
  ;;
esac

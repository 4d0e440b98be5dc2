# Shared by the end-to-end scripts of both platforms (sourced, not run): the display check,
# a work folder removed at the end, failure, the one polling helper, windows by title, the
# program under test ($app_pid) and its end, clicks at canvas coordinates, the settings
# window's faces and preview box, a running show's screen changes and pointer moves, a
# display of two monitors, the end of the Linux settings window's chooser cases, and the Linux
# idle watcher's first shows.

# A script that sets e2e_on_wayland brings its own compositor and input (wayland_lib.sh).
if [ -z "${e2e_on_wayland:-}" ]; then
  [ -n "${DISPLAY:-}" ] || { echo "SKIP: no X display"; exit 77; }
  command -v xdotool >/dev/null || { echo "SKIP: xdotool is not installed"; exit 77; }
fi

check="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/e2e_check.py"
. "$(dirname "$check")/../scripts/lib.sh" # eventually, the one polling helper
# An ASCII name under /tmp: the Windows folder browser is driven by typing the names.
work=$(mktemp -d /tmp/velmora-e2e-XXXXXX)
app_pid=""
app_log="$work/program.log"
on_exit=() # commands the script adds, run before the program is stopped and $work removed
e2e_cleanup() {
  local command
  for command in "${on_exit[@]}"; do eval "$command" || true; done
  stop_app
  rm -rf "$work"
}
trap e2e_cleanup EXIT

fail() {
  echo "FAIL: $*"
  [ ! -s "$app_log" ] || tail -n 30 "$app_log"
  exit 1
}

# The program, in $work, in the background: $app_pid.
start_app() {
  (cd "$work" && exec "$@") >"$app_log" 2>&1 &
  app_pid=$!
}
app_ended() { ! kill -0 "$app_pid" 2>/dev/null; }
stop_app() {
  if [ -n "$app_pid" ] && ! app_ended; then
    kill "$app_pid" 2>/dev/null || true
    wait "$app_pid" 2>/dev/null || true
  fi
  app_pid=""
}

# Waits (at most 30 s) for the program to end after WHAT; it must end with exit code 0.
expect_exit() {
  eventually 30 app_ended || fail "the program still runs 30 s after $1"
  local rc=0
  wait "$app_pid" || rc=$?
  app_pid=""
  [ "$rc" -eq 0 ] || fail "the program ended with exit code $rc after $1"
  echo "ok: $1 ended the program"
}

# The visible window titled exactly NAME in $found.
window_shown() { found=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1) && [ -n "$found" ]; }
window_gone() { ! window_shown "$1"; }
shown_or_ended() { window_shown "$1" || { [ -n "$app_pid" ] && app_ended && fail "the program ended before '$1' appeared"; }; }
wait_window() { eventually 30 shown_or_ended "$1" || fail "no window '$1' after 30 s"; }
wait_gone() { eventually 30 window_gone "$1" || fail "the window '$1' is still open after 30 s"; }

dialog_title='ヴェルモラの設定'
scale_num=1
scale_den=1
# Canvas coordinates of settings_dialog/dialog_layout.h (at 96 DPI) on the screen.
at() { echo $((origin_x + $1 * scale_num / scale_den)) $((origin_y + $2 * scale_num / scale_den)); }
click_at() {
  # shellcheck disable=SC2046
  xdotool mousemove $(at "$1" "$2") click 1
  sleep 0.2 # two quick clicks on one spot would be a double click
}

# Starts the settings window (the command in $work) and waits until it is mapped: $window,
# its canvas at origin_x, origin_y, canvas_w x canvas_h (no window manager decorates it).
start_dialog() {
  start_app "$@"
  wait_window "$dialog_title"
  window=$found
  mapped() { eval "$(xdotool getwindowgeometry --shell "$window")" && [ "$WIDTH" -gt 1 ]; }
  eventually 10 mapped || fail "the window was never mapped"
  origin_x=$X origin_y=$Y canvas_w=$WIDTH canvas_h=$HEIGHT
  echo "ok: the window '$dialog_title' appeared, canvas ${canvas_w}x${canvas_h} at $origin_x,$origin_y"
}

shot() { import -window root -depth 8 "ppm:$work/$1.ppm"; }

# True once the screen has changed `count` times (at most 30 s). The show takes the input
# already sent to it before it runs a timer, so after two changes that input has reached it.
screen_changes() {
  local count="$1" last next end=$((SECONDS + 30))
  shot changes
  last=$(md5sum <"$work/changes.ppm")
  while [ "$count" -gt 0 ]; do
    [ "$SECONDS" -lt "$end" ] || return 1
    sleep 0.1
    shot changes
    next=$(md5sum <"$work/changes.ppm")
    [ "$next" = "$last" ] || count=$((count - 1)) last="$next"
  done
}

expect_running() {
  screen_changes 2 || app_ended || fail "the screen stood still after $1"
  app_ended && fail "the show ended after $1"
  return 0
}

move_through() { # points "x y" ...; each move is known to have happened before the next
  local point
  for point in "$@"; do
    # shellcheck disable=SC2086
    timeout 10 xdotool mousemove --sync $point
  done
}

# Two monitors side by side on one X screen (Xinerama), in a nested X server on the current
# display, which DISPLAY names from then on: heads_at 0 and heads_at 1 give X Y W H of each.
start_two_heads() {
  command -v Xephyr >/dev/null || { echo "SKIP: Xephyr is not installed"; exit 77; }
  local fdfile="$work/xephyr.fd"
  Xephyr -displayfd 3 +xinerama -screen 1024x768+0+0 -screen 800x600+1024+0 -nolisten tcp -noreset \
    3>"$fdfile" >"$work/xephyr.log" 2>&1 &
  xephyr_pid=$!
  on_exit+=('kill $xephyr_pid')
  eventually 10 test -s "$fdfile" || fail "the two-head X server did not start"
  export DISPLAY=":$(head -n1 "$fdfile")"
  eventually 10 xdpyinfo >/dev/null 2>&1 || fail "the two-head X server does not answer"
}
heads_at() { [ "$1" = 0 ] && echo 0 0 1024 768 || echo 1024 0 800 600; }
# CHECK (as e2e_check.py takes it) on monitor HEAD of the shot NAME.
head_shows() { python3 "$check" check-head $(heads_at "$2") "$1" "$work/$3.ppm"; } # CHECK HEAD NAME
shot_dialog() { # the window's canvas into the PNG $1, when a name is given
  [ -z "$1" ] || import -window root -crop "${canvas_w}x${canvas_h}+${origin_x}+${origin_y}" +repage "$1"
}

# Polls until the option faces show as given: pairs of face corner (canvas, 96 DPI) and
# "on" or "off".
faces_show() { shot screen && python3 "$check" faces "$work/screen.ppm" "$origin_x" "$origin_y" "$scale_num" "$scale_den" "$@"; }
expect_faces() { eventually 10 faces_show "$@" >/dev/null || faces_show "$@"; }

# The skin pictures the window is drawn with.
skin="$(cd "$(dirname "${BASH_SOURCE[0]}")/../resources/skin" && pwd)"

# Polls until the canvas shows exactly the BMP $1 with its corner at $2, $3 (canvas pixels).
region_shows() { shot screen && python3 "$check" region-is "$work/screen.ppm" "$origin_x" "$origin_y" "$2" "$3" "$1"; }
expect_region() {
  eventually 10 region_shows "$@" || fail "the canvas does not show $(basename "$1") at $2, $3"
}

# The window shows the core's canvas for the settings file $1 (in $work) wherever it has no
# text or native control: the command after $1 (velmora-canvas, run in $work) draws it.
expect_core_canvas() {
  local settings_file="$1"
  shift
  cp -r "$skin" "$work/skin"
  (cd "$work" && "$@" skin "$settings_file" canvas.bmp mask.bmp) || fail "velmora-canvas failed"
  canvas_shows() { shot screen && python3 "$check" canvas-is "$work/screen.ppm" "$origin_x" "$origin_y" "$work/canvas.bmp" "$work/mask.bmp"; }
  eventually 10 canvas_shows || { canvas_shows; fail "the window does not show the core's canvas"; }
  echo "ok: the window shows the core's canvas"
}

# With the size label showing a picture's size, selects (by the command given) a picture that
# does not load: the label then says so in place of the size, and nothing of it reaches past
# its right edge (up to the filter buttons' panel).
expect_short_failure_label() {
  shot before
  "$@"
  python3 "$check" empty-box "$work/empty.bmp"
  expect_preview "$work/empty.bmp" "the empty box after a picture that does not load"
  shot screen
  ! python3 "$check" same-region "$work/before.ppm" "$work/screen.ppm" "$origin_x" "$origin_y" 204 48 100 16 >/dev/null ||
    fail "the size label did not change for a picture that does not load"
  python3 "$check" same-region "$work/before.ppm" "$work/screen.ppm" "$origin_x" "$origin_y" 304 44 28 24 ||
    fail "the size label's text runs past its edge"
  echo "ok: a picture that does not load is said in the size label, within it"
}

# Polls until the preview box shows exactly the BMP $1 at its corner; $2 says what that is.
preview_shows() { shot screen && python3 "$check" preview "$work/screen.ppm" "$origin_x" "$origin_y" "$@"; }
expect_preview() {
  eventually 10 preview_shows "$1" || { preview_shows "$1" --explain || true; fail "the preview does not show $2"; }
  echo "ok: the preview shows $2"
}

# With the BMP $1 selected in the list: its thumbnail, then filter buttons 7 and 8 (only 8's
# effect shows) and 32 against velmora-fx (the command after $1, run in $work) on the same
# thumbnail.
expect_thumbnail_and_filters() {
  local picture="$1"
  shift
  python3 "$check" thumbnail "$picture" "$work/thumb.bmp"
  expect_preview "$work/thumb.bmp" "the thumbnail of $(basename "$picture")"
  (cd "$work" && "$@" 8 7895040 thumb.bmp fx8.bmp && "$@" 16 2 thumb.bmp fx16.bmp) >/dev/null || fail "velmora-fx failed"
  # Effects that left the thumbnail as it was would prove nothing.
  ! cmp -s "$work/thumb.bmp" "$work/fx8.bmp" && ! cmp -s "$work/thumb.bmp" "$work/fx16.bmp" ||
    fail "velmora-fx left the thumbnail as it was"
  click_at 362 206 # 7
  click_at 362 230 # 8
  expect_preview "$work/fx8.bmp" "button 8's effect (type 8) on the unfiltered thumbnail"
  click_at 450 230 # 32
  expect_preview "$work/fx16.bmp" "button 32's effect (type 16 with 2)"
}

# The settings file FILE holds exactly the LINES in ENCODING (FILE ENCODING LINE...).
expect_file() { python3 "$check" ini-is "$@" || fail "the settings file $1 is not the expected one"; }

# The Linux settings window with the folder $work/Pics chosen: a second folder chooser
# cancelled keeps it, the music file $work/Music/song.mp3 comes from the file chooser, and
# "設定" writes both into the new per-user file $user_file. The script's choose_path drives
# its system's choosers; $folder_chooser is the folder chooser's title.
expect_music_chosen_and_saved() {
  click_at 71 63
  choose_path "$folder_chooser" ""
  click_at 142 422 # "MP3、MAV"
  click_at 267 423 # "ﾌｧｲﾙ名"
  choose_path "ﾌｧｲﾙを開く" "$work/Music/song.mp3"
  click_at 591 339 # "設定"
  expect_exit '"設定"'
  expect_file "$user_file" cp932 "[Section]" "画像ﾁｪﾝｼﾞ= 0" "画像のｻｲｽﾞ= 1" "ﾌｨﾙﾀ区分= 1" "画像のﾌｫﾙﾀﾞ=$work/Pics" \
    "画像種類_0= 1" "画像種類_1= 1" "画像種類_2= 1" "画像種類_3= 1" "BGM区分= 2" "BGMﾘﾋﾟｰﾄ= 0" \
    "BGMﾌｧｲﾙ=$work/Music/song.mp3"
}

# velmora --idle 0.05 (the program under test) has started its first show, having learnt of the
# idle time from SOURCE (its log names it by the grep pattern PATTERN); the script's
# end_watched_show ends it with a key (at $typed, in ns) and the watcher starts another after
# the next idle period. watched_show finds the watcher's show, in $shown.
expect_idle_show_again() { # SOURCE PATTERN
  eventually 30 watched_show || fail "the watcher started no show"
  local first=$shown waited_ms
  grep -q "$2" "$app_log" || fail "the watcher does not use $1"
  echo "ok: velmora --idle 0.05 started the show after the idle time ($1)"
  end_watched_show
  second_show() { watched_show && [ "$shown" != "$first" ]; }
  eventually 30 second_show || fail "no second show after the next idle period"
  waited_ms=$((($(date +%s%N) - typed) / 1000000))
  # A lower bound only: the show must not come back while the user may still be there.
  [ "$waited_ms" -ge 2500 ] || fail "the show came back $waited_ms ms after the key, before the idle time"
  echo "ok: a key ended the show, the watcher stayed, and started it again after $waited_ms ms idle"
}

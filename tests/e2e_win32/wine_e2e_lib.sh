# Shared by the Wine end-to-end scripts (sourced, not run): the display check, the Wine
# environment, failure, and the settings window's start and clicks at canvas coordinates.

if [ -z "${DISPLAY:-}" ]; then
  echo "no X display: skipped"
  exit 77
fi
export WINEPREFIX="${WINEPREFIX:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/build/wine-prefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

fail() {
  echo "FAIL: $*"
  exit 1
}

# A per-user settings file would be read instead of the one a test writes beside the program.
expect_no_per_user_settings() {
  local per_user
  for per_user in "$WINEPREFIX"/drive_c/users/*/AppData/Roaming/Velmora/ヴェルモラ.ini; do
    [ ! -e "$per_user" ] || fail "the Wine prefix has a per-user settings file, read before ours: $per_user"
  done
}

dialog_title='ヴェルモラの設定'
scale_num=1
scale_den=1
# Canvas coordinates of settings_dialog/dialog_layout.h (at 96 DPI) to the screen.
at() {
  echo $((origin_x + $1 * scale_num / scale_den)) $((origin_y + $2 * scale_num / scale_den))
}
click_at() {
  # shellcheck disable=SC2046
  xdotool mousemove $(at "$1" "$2") click 1
  sleep 0.2
}

# Starts `velmora.scr /c` in $work and waits for its window; sets dialog_pid, window,
# origin_x/origin_y and canvas_w/canvas_h.
start_dialog() {
  (cd "$work" && exec wine ./velmora.scr /c) &
  dialog_pid=$!
  window=""
  for _ in $(seq 1 300); do
    window=$(xdotool search --onlyvisible --name "^$dialog_title\$" 2>/dev/null | head -n1 || true)
    [ -z "$window" ] || break
    kill -0 "$dialog_pid" 2>/dev/null || fail "velmora.scr /c ended before its window appeared"
    sleep 0.1
  done
  [ -n "$window" ] || fail "no window titled $dialog_title after 30 s"
  # Mapped and painted: the geometry is the canvas (no window manager decorates it).
  for _ in $(seq 1 100); do
    eval "$(xdotool getwindowgeometry --shell "$window")"
    [ "$WIDTH" -gt 1 ] && break
    sleep 0.1
  done
  sleep 0.5
  origin_x=$X
  origin_y=$Y
  canvas_w=$WIDTH
  canvas_h=$HEIGHT
}

# A headless sway for end-to-end scripts (sourced after ../e2e_lib.sh, with e2e_on_wayland=1
# set before it): run as an ordinary user the script names in $wl_user (sway refuses root),
# without any X server (no XWayland), on one 1280 x 720 output unless start_compositor is told
# otherwise. Its seat gets a keyboard (wtype) and a pointer (wayland_pointer.py) that the
# compositor's own cursor commands drive; the helpers of e2e_lib.sh that look at the screen,
# click or move the pointer see it through grim and swaymsg.
# Exit 77 (skipped) without sway, grim or wtype, or when not run as root.

for tool in sway swaymsg grim wtype; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
[ "$(id -u)" -eq 0 ] || { echo "SKIP: making the test's own user needs root"; exit 77; }

wayland="" swaysock=""
id -u "$wl_user" >/dev/null 2>&1 || useradd --system --no-create-home --shell /usr/sbin/nologin "$wl_user"
chmod 755 "$work"
mkdir -m 700 "$work/run"
# Whatever the user still runs at the end, by id: only this script runs anything as that user.
on_exit+=('for pid in $(pgrep -u "$wl_user"); do kill -9 "$pid" 2>/dev/null || true; done')

# The user's whole environment: nothing of the caller's (DISPLAY above all) comes through.
user_environment() {
  user_env=(runuser -u "$wl_user" -- env -i HOME="$work" XDG_RUNTIME_DIR="$work/run" PATH=/usr/bin:/bin
    LANG=C.UTF-8 XDG_CONFIG_HOME="$work/config" GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1)
  # Named once the compositor has made them (sway would take an empty SWAYSOCK for its own).
  [ -z "$wayland" ] || user_env+=(WAYLAND_DISPLAY="$wayland" SWAYSOCK="$swaysock")
}
as_user() {
  user_environment
  "${user_env[@]}" "$@"
}
# The program under test, as the user (e2e_lib.sh's start_app runs it as root).
start_app() {
  user_environment
  (cd "$work" && exec "${user_env[@]}" "$@") >"$app_log" 2>&1 &
  app_pid=$!
}

# start_compositor [OUTPUTS [SWAY CONFIGURATION LINE...]]: the lines place the outputs (by
# default each is 1280 x 720).
start_compositor() {
  local outputs="${1:-1}"
  shift || true
  [ "$#" -gt 0 ] || set -- 'output * resolution 1280x720'
  printf '%s\n' 'xwayland disable' 'output * bg #000000 solid_color' "$@" \
    'default_border none' 'default_floating_border none' >"$work/sway.conf"
  chown -R "$wl_user" "$work"
  (cd "$work" && as_user WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
    WLR_HEADLESS_OUTPUTS="$outputs" sway -c "$work/sway.conf") >"$work/sway.log" 2>&1 &
  socket_made() {
    wayland=$(cd "$work/run" && ls wayland-? 2>/dev/null | head -n1) && [ -n "$wayland" ] &&
      swaysock=$(ls "$work"/run/sway-ipc.*.sock 2>/dev/null) && [ -n "$swaysock" ]
  }
  eventually 20 socket_made || fail "sway made no Wayland socket"
  start_keyboard
  as_user python3 "$(dirname "${BASH_SOURCE[0]}")/wayland_pointer.py" >"$work/pointer.log" 2>&1 &
  eventually 10 seat_ready 3 || fail "the compositor's seat never got both the keyboard and the pointer"
}
seat_ready() { as_user swaymsg -t get_seats 2>/dev/null | grep -q "\"capabilities\": $1"; }
# The seat's keyboard, made anew: a wtype that waits 10 minutes before its one key. The seat
# forgets its keymap when the keyboard that last typed goes (as each other wtype's does), and
# a client given modifiers without a keymap may not cope (Debian 12's SDL crashes): a window
# opened after a typed key wants this first.
keyboard_pid=""
start_keyboard() {
  if [ -n "$keyboard_pid" ]; then
    # shellcheck disable=SC2046
    kill $(pgrep -u "$wl_user" -f -- "wtype -s 600000") 2>/dev/null || true # itself, not the runuser above it
    wait "$keyboard_pid" 2>/dev/null || true
  fi
  as_user wtype -s 600000 x >/dev/null 2>&1 &
  keyboard_pid=$!
  eventually 10 seat_ready '[23]' || fail "the compositor's seat never got the virtual keyboard"
}

# The compositor's view of the window titled exactly $1 (a Wayland client's, never an X one's):
# "X Y W H SHELL" of its content, or nothing.
window_place() {
  as_user swaymsg -t get_tree 2>/dev/null | python3 -c '
import json, sys
def nodes(node):
    yield node
    for child in node.get("nodes", []) + node.get("floating_nodes", []):
        yield from nodes(child)
for node in nodes(json.load(sys.stdin)):
    if node.get("name") == sys.argv[1] and node.get("type") in ("con", "floating_con") and node.get("pid"):
        r, w = node["rect"], node["window_rect"]
        print(r["x"] + w["x"], r["y"] + w["y"], w["width"], w["height"], node.get("shell"))
        break' "$1"
}
window_shown() { found=$(window_place "$1") && [ -n "$found" ]; }

start_dialog() {
  start_app "$@"
  wait_window "$dialog_title"
  local shell
  read -r origin_x origin_y canvas_w canvas_h shell <<<"$found"
  [ "$shell" = xdg_shell ] || fail "the window is a $shell client, not a native Wayland one"
  echo "ok: the window '$dialog_title' is a native Wayland window, canvas ${canvas_w}x${canvas_h} at $origin_x,$origin_y"
}

shot() { as_user grim -t ppm - >"$work/$1.ppm"; }
cursor() { as_user swaymsg seat seat0 cursor "$@" >/dev/null || fail "swaymsg seat seat0 cursor $*"; }
# The pointer leaves for the output's far corner, out of the windows and the screenshots.
pointer_away() { cursor set 1279 719; }
pointer_click() { # X Y on the output
  cursor set "$1" "$2"
  cursor press button1
  cursor release button1
  sleep 0.2 # two quick clicks on one spot would be a double click
  pointer_away
}
# shellcheck disable=SC2046
click_at() { pointer_click $(at "$1" "$2"); }
move_through() { # points "x y" ... on the outputs; each move has been made before the next
  local point
  for point in "$@"; do
    # shellcheck disable=SC2086
    cursor set $point
  done
}

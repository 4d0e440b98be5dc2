# The XScreenSaver daemon run for the test's own user (sourced, not run), shared by the daemon
# end-to-end test and the idle-CPU bench. Expects $user, $home and $daemon_pid, and
# scripts/lib.sh for eventually.

as_user() { runuser -u "$user" -- env HOME="$home" DISPLAY="$DISPLAY" XDG_CONFIG_HOME="$home/.config" "$@"; }

stop_daemon() {
  if [ -n "$daemon_pid" ]; then
    as_user xscreensaver-command -exit >/dev/null 2>&1 || true
    wait "$daemon_pid" 2>/dev/null || true
    daemon_pid=""
  fi
  # Whatever the daemon left behind, by id: only this user runs anything here.
  local pid
  for pid in $(pgrep -u "$user" || true); do kill -9 "$pid" 2>/dev/null || true; done
  # Until they are gone: a dying hack of the same name would be taken for the next one.
  eventually 10 bash -c "! pgrep -u $user >/dev/null" || true
}

# Shared by the Wine end-to-end scripts (sourced, not run): the common helpers, the project's
# Wine prefix, the per-user settings check and the refused second start.
. "$(dirname "${BASH_SOURCE[0]}")/../e2e_lib.sh"
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
export WINEPREFIX="${WINEPREFIX:-$root/build/wine-prefix}"
. "$root/scripts/lib.sh"
prepare_wine

# A per-user settings file would be read instead of the one a test writes beside the program.
for per_user in "$WINEPREFIX"/drive_c/users/*/AppData/Roaming/Velmora/ヴェルモラ.ini; do
  [ ! -e "$per_user" ] || fail "the Wine prefix has a per-user settings file, read before ours: $per_user"
done

# Each start of velmora.scr with these arguments, while the program under test runs, ends as
# a second instance (exit code 2); one that did open would run into the timeout (124).
expect_second_instance() {
  local mode rc
  for mode in "$@"; do
    rc=0
    # shellcheck disable=SC2086
    (cd "$work" && timeout 20 wine ./velmora.scr $mode) || rc=$?
    [ "$rc" -eq 2 ] || fail "a second start with '$mode' ended with $rc, not as a second instance"
    echo "ok: a second start with '$mode' ended as a second instance"
  done
  app_ended && fail "the program under test ended after the second starts"
  return 0
}

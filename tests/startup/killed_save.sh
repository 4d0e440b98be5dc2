#!/usr/bin/env bash
# A save killed mid-way, for real: settings_saver rewrites a large settings file and is killed
# (SIGKILL; under Wine the same signal ends the Windows process at once) while its temporary
# file exists. The settings file must be byte for byte the old one, and the next start must
# remove the temporary file the killed save left. A save that finishes before the kill is
# tried again with the old file.
# Usage: killed_save.sh SETTINGS_SAVER  (a .exe runs under Wine)
set -euo pipefail

saver=$(readlink -f "$1")
run=("$saver")
if [[ "$saver" == *.exe ]]; then
  root="$(cd "$(dirname "$0")/../.." && pwd)"
  export WINEPREFIX="${WINEPREFIX:-$root/build/wine-prefix}"
  . "$root/scripts/lib.sh"
  prepare_wine
  run=(wine "$saver")
fi
work=$(mktemp -d /tmp/velmora-killed-save-XXXXXX)
saver_pid=""
cleanup() {
  [ -z "$saver_pid" ] || kill -9 "$saver_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  exit 1
}

# About 12 MB (the limit is 16 MB): the settings and a long section of someone else's keys,
# which every save keeps.
python3 - "$work/settings.ini" <<'PY'
import sys
lines = ["[Section]", "画像ﾁｪﾝｼﾞ= 0", "画像のｻｲｽﾞ= 1", "[Other]"]
lines += ["key%07d=%s" % (i, "x" * 100) for i in range(110000)]
open(sys.argv[1], "wb").write(("\r\n".join(lines) + "\r\n").encode("cp932"))
PY
cp "$work/settings.ini" "$work/old.ini"

temporaries() { compgen -G "$work/settings.ini.velmora-tmp-*" >/dev/null; }

caught=0
for attempt in $(seq 1 20); do
  (cd "$work" && exec "${run[@]}" settings.ini) >"$work/saver.log" 2>&1 &
  saver_pid=$!
  # Checked as fast as the shell can (built-ins only): a temporary file lives for milliseconds.
  end=$((SECONDS + 60))
  until temporaries || ! kill -0 "$saver_pid" 2>/dev/null || [ "$SECONDS" -ge "$end" ]; do :; done
  kill -9 "$saver_pid" 2>/dev/null || true
  wait "$saver_pid" 2>/dev/null || true
  saver_pid=""
  if temporaries && cmp -s "$work/settings.ini" "$work/old.ini"; then
    caught=1
    echo "ok: killed mid-save at attempt $attempt: the settings file is the old one, byte for byte"
    break
  fi
  # The save finished first (or never started): start again from the old file.
  cmp -s "$work/settings.ini" "$work/old.ini" || cp "$work/old.ini" "$work/settings.ini"
  rm -f "$work"/settings.ini.velmora-tmp-*
done
[ "$caught" -eq 1 ] || { cat "$work/saver.log"; fail "no save was caught with its temporary file in 20 attempts"; }

(cd "$work" && "${run[@]}" --load settings.ini) || fail "the start after the killed save failed"
temporaries && fail "the start left the killed save's temporary file: $(ls "$work")"
cmp -s "$work/settings.ini" "$work/old.ini" || fail "the start changed the settings file"
echo "ok: the next start removed the temporary file and left the settings file alone"

(cd "$work" && "${run[@]}" settings.ini) || fail "a save after the killed one failed"
grep -q "key0109999=" "$work/settings.ini" || fail "the save lost the other section's keys"
cmp -s "$work/settings.ini" "$work/old.ini" && fail "the save after the killed one wrote nothing"
temporaries && fail "a finished save left a temporary file"
echo "ok: the next save wrote the file whole"
